#pragma once

#include <QtGlobal>

// The slide of a pop-up in screen twips: rising from below the screen to rest 430
// twips above the bottom edge, sinking back below it on a close.
class PopMotion {
public:
    static constexpr int kStepTwips = 30;
    static constexpr int kBottomMarginTwips = 430;
    enum State : int { Rising = 1, Sinking = 2 };
    enum class Step { Still, Moved, Gone };

    void start(qint64 screenWidthTw, qint64 screenHeightTw, qint64 windowWidthTw);
    // One move tick; Gone once a sinking window is below the screen.
    Step tick(qint64 screenHeightTw, qint64 windowHeightTw);
    void sink() { m_state = Sinking; }
    // Some window managers hold a window that is asked to be below the screen's edge
    // higher up (openbox keeps its title bar on the screen): a rising window that the
    // display shows at least two steps above its own place rises on from there, rather
    // than spending its first steps where nothing moves. Smaller differences (a frame
    // measured a pixel off) are left alone, and so is a window above its resting place.
    // Once at rest, a window shown elsewhere was put there by the user (by its title
    // bar): it stays where it is put, and rises again from there when put lower.
    void followShown(qint64 shownTopTw, qint64 screenHeightTw, qint64 windowHeightTw);
    // Risen and still: moves from now on are the user's.
    bool resting() const { return m_resting; }

    int state() const { return m_state; }
    qint64 leftTw() const { return m_left; }
    qint64 topTw() const { return m_top; }

private:
    int m_state = Rising;
    bool m_resting = false;
    qint64 m_left = 0;
    qint64 m_top = 0;
};
