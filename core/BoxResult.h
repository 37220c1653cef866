#pragma once

#include <QMetaType>
#include <QString>

// The outcome of one box operation.
struct BoxResult {
    enum Code {
        Ok = 0,
        Refused,       // the box's state does not allow the operation
        InvalidInput,  // a name or password the operation cannot take
        WrongPassword, // the password check before the operation failed
        Failed,        // the box service reported a failure
        Busy,          // another box operation is still running
        Unsupported,   // the box service lacks what the operation needs
    };

    Code code = Ok;
    int libraryCode = 0; // the box service's result code (0 when it was not asked or succeeded)
    int libraryReason = 0; // its box_reason for libraryCode, BOX_REASON_NONE when unknown
    QString reason;      // what the user can act on, translated; may be empty
    QString detail;      // the service's detail text (e.g. a path), may be empty

    bool ok() const { return code == Ok; }
    // Whether the box service named a wrong password as the reason.
    bool wrongPasswordReason() const;

    // A window's message for this result: `text` with the reason, when
    // there is one, as its second line.
    QString message(const QString &text) const
    {
        return reason.isEmpty() ? text : text + QLatin1Char('\n') + reason;
    }

    static BoxResult success() { return BoxResult(); }
    static BoxResult failure(Code code, const QString &reason = QString())
    {
        BoxResult r;
        r.code = code;
        r.reason = reason;
        return r;
    }
};

Q_DECLARE_METATYPE(BoxResult)
