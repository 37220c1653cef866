#pragma once

#include <QCoreApplication>
#include <QString>

// Why the box service cannot be used, in the program's own words and the
// user's language, with the fix that fits how the program was installed.
class ServiceUnavailable
{
    Q_DECLARE_TR_FUNCTIONS(ServiceUnavailable)
public:
    // The causes the box service names (box_unavailable in box_service_ext.h).
    enum class Cause {
        Unknown = -1, // the library cannot say
        None = 0,
        RootNotFolder,
        RootMissing,
        CustomRootMissing,
        NoAccount,
        UserFolder,
        StartFailed,
        NoGocryptfs,
        NoFusermount,
        NoDevFuse,
        DevFuseDenied,
    };

    // How the program came onto the machine: the fix for a missing box root
    // differs.
    enum class Installation {
        Package,     // the tmpfiles.d entry is installed
        SourceBuild, // run from a build of a source tree that is still there
        Other,
    };

    // What the box service says now.
    static Cause currentCause();
    static Installation currentInstallation();

    // The lines under the refusal: what is wrong and how to fix it. For
    // None and Unknown the library's own text, where it has one.
    static QString text(Cause cause, const QString &boxRoot, Installation installation);
    // The same for the machine as it is now.
    static QString currentText();

    // True when a user without administrator rights can get going with a
    // box root of their own.
    static bool ownFolderHelps(Cause cause);
    // The question that offers it.
    static QString ownFolderQuestion(const QString &folder);
};
