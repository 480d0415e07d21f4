#include "PopMotion.h"

void PopMotion::start(qint64 screenWidthTw, qint64 screenHeightTw, qint64 windowWidthTw) {
    m_state = Rising;
    m_left = screenWidthTw - windowWidthTw;
    m_top = screenHeightTw;
}

void PopMotion::followShown(qint64 shownTopTw, qint64 screenHeightTw, qint64 windowHeightTw) {
    const qint64 target = screenHeightTw - windowHeightTw - kBottomMarginTwips;
    if (m_state != Rising)
        return;
    const qint64 off = m_top - shownTopTw;
    if (m_resting ? qAbs(off) >= 2 * kStepTwips : off >= 2 * kStepTwips && shownTopTw > target)
        m_top = shownTopTw;
}

PopMotion::Step PopMotion::tick(qint64 screenHeightTw, qint64 windowHeightTw) {
    if (m_state == Rising) {
        const qint64 target = screenHeightTw - windowHeightTw - kBottomMarginTwips;
        m_resting = target >= m_top;
        if (!m_resting) {
            m_top -= kStepTwips;
            return Step::Moved;
        }
        return Step::Still;
    }
    if (m_state == Sinking) {
        if (m_top < screenHeightTw) {
            m_top += kStepTwips;
            return Step::Moved;
        }
        return Step::Gone;
    }
    return Step::Still;
}
