#pragma once
// Every section and key the two settings files may hold, so that a name the
// programs would silently ignore (a typing error, a key of another version)
// is reported. "config.ini" is shared: a key one program does not use is
// still known.

#include <string>

#include "common/IniWrapXml.h"

namespace KnownSettings {

inline IniWrapXml::Layout ConfigIni() {
    return {{"Config",
             {"Server", "Port", "SSL", "Username", "Password", "HostID", "SSLVerify", "CAFile",
              "PinnedPublicKey"}}};
}

inline IniWrapXml::Layout UpdateIni() {
    IniWrapXml::Layout layout = {
        {"Update", {"List", "ListHash", "Modules", "Complete", "Log", "MaxFileMB", "Manifest"}},
        {"Stop", {}},
        {"Start", {}}};
    for (int number = 1; number <= 9; ++number) {
        layout["Stop"].insert("Command" + std::to_string(number));
        layout["Start"].insert("Command" + std::to_string(number));
    }
    return layout;
}

} // namespace KnownSettings
