#include "NativeMove.h"
#include "TestMain.h"

#include <QTest>
#include <xcb/xcb.h>

namespace {
xcb_configure_notify_event_t answer(quint32 window, int x, int y, bool sent = true) {
    xcb_configure_notify_event_t e{};
    e.response_type = static_cast<uint8_t>(XCB_CONFIGURE_NOTIFY | (sent ? 0x80 : 0));
    e.event = window;
    e.window = window;
    e.x = static_cast<int16_t>(x);
    e.y = static_cast<int16_t>(y);
    return e;
}
} // namespace

class TestNativeMove : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Only the window manager's confirmation of the last move asked for is kept from
    // Qt; every other report of where a window is reaches it.
    void onlyTheConfirmationOfTheLastMoveIsKept() {
        NativeMove::expectConfirmation(7, 972, 714);
        auto confirm = answer(7, 972, 714);
        QVERIFY(NativeMove::isConfirmation(&confirm));

        auto held = answer(7, 972, 800); // the window manager put it elsewhere
        auto aside = answer(7, 974, 714);
        auto server = answer(7, 972, 714, false); // the server's own report, not the answer
        auto other = answer(8, 972, 714);
        auto parent = answer(7, 972, 714);
        parent.event = 1; // seen through the parent's substructure
        auto mapped = answer(7, 972, 714);
        mapped.response_type = XCB_MAP_NOTIFY | 0x80;
        for (auto* e : {&held, &aside, &server, &other, &parent, &mapped})
            QVERIFY(!NativeMove::isConfirmation(e));

        // A later move replaces the expected place; a late answer to the earlier one passes.
        NativeMove::expectConfirmation(7, 972, 712);
        QVERIFY(!NativeMove::isConfirmation(&confirm));
        // At rest (or gone) nothing is kept from Qt any more.
        auto last = answer(7, 972, 712);
        QVERIFY(NativeMove::isConfirmation(&last));
        NativeMove::forgetConfirmation(7);
        QVERIFY(!NativeMove::isConfirmation(&last));
    }
};

VT_TEST(TestNativeMove)
#include "test_nativemove.moc"
