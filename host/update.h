#pragma once

// The update check of the About rollout: asks the update server for the
// latest version, offers a newer release as a zip archive and downloads it,
// and can be switched to run once automatically each time the library is
// loaded. Runs on the user-interface thread and blocks it while it talks to
// the server.

#include <QString>
#include <optional>

#include "hostsdk.h"

// What the update check knows; one per process, made at library load.
struct UpdateState {
    // Names the reply's element, the archive, the network agent, the boxes'
    // caption, the suggested file and the settings key.
    QString productName = QStringLiteral("Carvex");
    QString hostVersion = QStringLiteral("2021");
    // The module's file version, "major.minor.build.revision".
    QString pluginVersion;
    bool autoCheck = true;
    // A check has run since the library was loaded.
    bool alreadyRun = false;
};

UpdateState& updateState();

// Reads the plug-in version from the module's version resource and the
// auto-check setting from the user's settings; a missing setting leaves
// the flag as it is.
void loadUpdateState(UpdateState& state, HINSTANCE module);
// Writes the auto-check setting, "1" or "0".
void saveAutoCheck(const UpdateState& state);

// Whether candidate is a later version than current. Both are split at
// dots (empty parts dropped), the shorter padded with "0", and the parts
// compared in order as decimal numbers; a part that is no number is 0.
bool isOlderVersion(const QString& current, const QString& candidate);

struct UpdateServer {
    QString host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTPS_PORT;
};

// The update server: ours, or the https address in CARVEX_UPDATE_SERVER
// ("https://host[:port]"). None when that variable names anything else: the
// reply decides what gets downloaded, so it never comes over plain http.
std::optional<UpdateServer> updateServer();

// The check itself; parent (the rollout) owns the boxes, the save dialog
// and the progress bar.
void runUpdateCheck(UpdateState& state, HWND parent);
