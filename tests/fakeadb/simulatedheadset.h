#ifndef SIMULATEDHEADSET_H
#define SIMULATEDHEADSET_H

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// The simulated devices of a fake adb scenario: the demo's headset and the end-to-end tests'
// device. They answer the commands no rule answers, as the real adb and the headset's shell
// would, and keep their state (packages, files) in a file of their own between adb calls.
//
//   "devices": [{"serial": "PA7", "state": "device", "model": "Pico 4", "product": "p",
//                "device": "d", "properties": {"ro.product.model": "Pico 4"},
//                "env": {"EXTERNAL_STORAGE": "/sdcard"}, "files": {"/path": "content"},
//                "dirs": ["/sdcard/obb"], "packages": ["com.example"], "latencyMs": 0,
//                "installMs": 0, "installResult": "Success" or "INSTALL_FAILED_...",
//                "uninstallResult": "DELETE_FAILED_..." (the uninstall is refused),
//                "oldShell": true (older firmware: no shell protocol),
//                "alsoListedAs": "adb-PA7-x._adb-tls-connect._tcp" (listed twice),
//                "dropDuringInstall": true (gone in the middle of the install)}],
//   "client": 34            the client's version: from 33 adb does not wait for a device it
//                           cannot see, from 36 it calls itself "adb.exe:" in its errors
//   "crlf": false,          line ends as CR LF
//   "vanishAfter": n        the devices are gone after n earlier adb calls
//   "noticesAt": [n, ...]   after that many earlier calls, adb first replaces another
//                           program's server and says so on stderr
//   "otherAdbPollsMs": n    another program's adb replaces the server every n ms: every call
//                           but the first replaces it back, track-devices ends after n ms, and a
//                           longer install lands but adb's sentence ends at its colon
//   "firstListingMs": n     track-devices writes its first listing after n ms
//   "serverStartMs": n      adb's server runs only once a command started it (taking n ms),
//                           until kill-server
//
// `adb track-devices` follows changes to the scenario file, and adds a line to the state file's
// name with ".listings" after it for each listing it wrote. Returns adb's exit code, having
// written its output.
int simulate(const QString &scenarioPath, const QJsonObject &scenario, const QString &statePath,
             int earlierCalls, QStringList args);

// What both halves of the fake adb share.
QJsonDocument readJson(const QString &path);
QStringList toStringList(const QJsonArray &array);
void writeOut(const QByteArray &out, const QByteArray &err);
[[noreturn]] void hang();

#endif // SIMULATEDHEADSET_H
