#pragma once

#include <QCoreApplication>
#include <QString>

// Whether the box service can be used here, asked once at the start of the
// window, the command line and the agent alike.
class BoxAvailability
{
    Q_DECLARE_TR_FUNCTIONS(BoxAvailability)
public:
    enum class State {
        Available,
        Unsupported, // box_enabled said no
        InitFailed,  // box_init failed
    };

    // The system's functions; tests hand in their own.
    struct Probe {
        int (*enabled)();
        int (*init)();
        QString (*cause)(); // why boxes are unavailable, with the fix; may be empty
    };
    static Probe systemProbe();

    // box_enabled, then box_init (only when enabled).
    static BoxAvailability check(const Probe &probe = systemProbe());

    State state = State::Available;
    int code = 0;  // box_enabled's or box_init's result when it failed
    QString cause; // the service's own words, empty when it cannot say

    bool available() const { return state == State::Available; }
    // The refusal the user sees ("当前系统不支持…" or "初始化…失败！"),
    // empty when available.
    QString refusal() const;
    // The refusal and the cause, joined by `separator` when there is a cause.
    QString message(const QString &separator) const;
};
