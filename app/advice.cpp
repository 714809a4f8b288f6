#include "app/advice.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

// What the program knows of adb's and the package manager's failures, one row each: a name,
// what to look for (a regular expression, any letter case), and the advice. The first row that
// matches gives the advice; %1 and %2 stand for what the expression's groups caught.
struct Row
{
    const char *id;
    const char *pattern;
    const char *advice;
};

const Row table[] = {
        {"signature", "INSTALL_FAILED_UPDATE_INCOMPATIBLE|signatures do not match",
         QT_TRANSLATE_NOOP("Advice",
                           "A copy of the app signed differently is already on the headset, so "
                           "this one cannot replace it. -> Press Uninstall, then Install again; "
                           "this removes the app's saved data from the headset.")},
        {"downgrade", "INSTALL_FAILED_VERSION_DOWNGRADE",
         QT_TRANSLATE_NOOP("Advice",
                           "The headset already has a newer version of the app. -> To go back to "
                           "this one, press Uninstall, then Install; this removes the app's saved "
                           "data from the headset.")},
        {"storage", "INSTALL_FAILED_INSUFFICIENT_STORAGE|not enough space|No space left",
         QT_TRANSLATE_NOOP("Advice",
                           "The headset does not have enough free space for the app. -> Please "
                           "free some space on the headset (remove apps or videos you no longer "
                           "need), then try again.")},
        {"older-system", "Requires newer sdk version #(\\d+) \\(current version is #(\\d+)\\)",
         QT_TRANSLATE_NOOP("Advice",
                           "The headset's system is too old for this build: it needs Android API "
                           "level %1, the headset has %2. -> Please update the headset's system "
                           "in its settings, then try again.")},
        {"older-system", "INSTALL_FAILED_OLDER_SDK",
         QT_TRANSLATE_NOOP("Advice",
                           "The headset's system is too old for this build. -> Please update the "
                           "headset's system in its settings, then try again.")},
        {"wrong-build",
         "INSTALL_FAILED_(DEPRECATED_SDK_VERSION|MISSING_SHARED_LIBRARY|NO_MATCHING_ABIS)",
         QT_TRANSLATE_NOOP("Advice",
                           "This build of the app is not made for this headset. -> Please get the "
                           "version of this program made for your headset, then try again.")},
        {"damaged-apk",
         "INSTALL_PARSE_FAILED_|INSTALL_FAILED_INVALID_APK|failed to stat|"
         "filename doesn't end \\.apk",
         QT_TRANSLATE_NOOP("Advice",
                           "The app's file beside this program is damaged or incomplete. -> "
                           "Please download this program again and unpack all of it, then try "
                           "again.")},
        {"refused-on-headset", "INSTALL_FAILED_USER_RESTRICTED|Install canceled by user",
         QT_TRANSLATE_NOOP("Advice",
                           "The headset refused the install. -> Please put the headset on, accept "
                           "the question it shows, and try again.")},
        {"test-build", "INSTALL_FAILED_TEST_ONLY",
         QT_TRANSLATE_NOOP("Advice",
                           "This build of the app is a test build, which cannot be installed this "
                           "way. -> Please ask Brelvo for a release build.")},
        {"device-policy", "DELETE_FAILED_DEVICE_POLICY_MANAGER",
         QT_TRANSLATE_NOOP("Advice",
                           "A device administration policy on the headset protects the app (for "
                           "example a company's or a kiosk's management). -> Please turn that "
                           "policy off in the headset's settings, or ask whoever manages the "
                           "headset, then try again.")},
        {"not-installed-for-user", "not installed for \\d+",
         QT_TRANSLATE_NOOP("Advice",
                           "The app is not installed for the headset's user, so there is nothing "
                           "to remove. -> If it still shows on the headset, restart the headset "
                           "and try again.")},
        {"delete-failed", "DELETE_FAILED_INTERNAL_ERROR",
         QT_TRANSLATE_NOOP("Advice",
                           "The headset could not remove the app; it may be in use or only partly "
                           "installed. -> Please restart the headset, then try Uninstall again.")},
        {"other-adb",
         "adb server version \\(\\d+\\) doesn't match this client|"
         "adb server is out of date",
         QT_TRANSLATE_NOOP("Advice",
                           "Another program on this computer runs a different adb (VR tools, game "
                           "engines and development tools bring their own). -> If the headset "
                           "keeps disconnecting, close that program and try again.")},
        {"reconnect",
         "device offline|device still authorizing|no devices/emulators found|"
         "device '[^']*' not found|The Pico headset was disconnected|"
         "adb lists it as (?:offline|detached|connecting)",
         QT_TRANSLATE_NOOP("Advice",
                           "The headset stopped answering. -> Please unplug it and plug it in "
                           "again, wake it up (put it on or press its power button), then try "
                           "again.")},
        {"adb-service",
         "failed to start daemon|cannot connect to daemon|failed to check server version",
         QT_TRANSLATE_NOOP("Advice",
                           "adb could not start its background service; another program may be "
                           "using its port (5037). -> Please close other programs that use adb, "
                           "or restart the computer, then try again.")},
        {"no-answer", "did not answer within \\d+ seconds",
         QT_TRANSLATE_NOOP("Advice",
                           "The headset did not answer. -> Please wake it up, unplug it and plug "
                           "it in again, then try again.")},
        {"adb-blocked", "could not be started|a file it needs .* is missing",
         QT_TRANSLATE_NOOP("Advice",
                           "Security software may have removed or blocked adb in the tools folder "
                           "beside this program. -> Please download this program again, or allow "
                           "its folder in your security software, then try again.")},
        {"udev", "adb lists it as \"no permissions\"|no permissions \\(",
         QT_TRANSLATE_NOOP("Advice",
                           "On Linux, adb may use a USB device only through a udev rule. -> Please "
                           "install the package android-sdk-platform-tools-common (Debian, "
                           "Ubuntu) or add a rule for the headset to /etc/udev/rules.d/, make sure "
                           "that you are in the plugdev group, then unplug the headset and plug it "
                           "in again.")},
        {"not-ready", "adb lists it as (?:bootloader|recovery|sideload|rescue|host)",
         QT_TRANSLATE_NOOP("Advice",
                           "The headset is in a mode for repairing or updating its system, not "
                           "for apps. -> Please restart it normally (hold its power button), "
                           "then try again.")},
        {"not-authorized", "Device is NOT Authorized|device unauthorized",
         QT_TRANSLATE_NOOP("Advice",
                           "The question to allow USB debugging appears inside the headset. -> "
                           "Please put the headset on, tick \"Always allow from this computer\" "
                           "and tap Allow, then try again.")},
        {"not-found", "Cannot find the Pico headset|is not a Pico headset",
         QT_TRANSLATE_NOOP("Advice",
                           "Usually one of three things: -> developer mode and USB debugging are "
                           "not on in the headset's settings; the cable only charges (use one that "
                           "carries data, such as the headset's own); or the headset is plugged "
                           "into a hub or a front port (plug it straight into the computer).")},
};

} // namespace

Advice adviceFor(const QString &said)
{
    static const QList<QRegularExpression> patterns = [] {
        QList<QRegularExpression> compiled;
        for (const Row &row : table)
            compiled << QRegularExpression(QString::fromLatin1(row.pattern),
                                           QRegularExpression::CaseInsensitiveOption);
        return compiled;
    }();
    for (qsizetype i = 0; i < patterns.size(); ++i) {
        const QRegularExpressionMatch match = patterns.at(i).match(said);
        if (!match.hasMatch())
            continue;
        QString text = QCoreApplication::translate("Advice", table[i].advice);
        for (int group = 1; group <= match.lastCapturedIndex(); ++group)
            text = text.arg(match.captured(group));
        return {QString::fromLatin1(table[i].id), text};
    }
    return {};
}

Advice adviceWithId(const QString &id)
{
    for (const Row &row : table) {
        if (id == QLatin1String(row.id))
            return {id, QCoreApplication::translate("Advice", row.advice)};
    }
    return {};
}
