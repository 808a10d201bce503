#include "common/StatusFile.h"

#include "common/PrivateFile.h"

namespace StatusFile {

nlohmann::ordered_json Open(const Head& head) {
    return {{"program", head.program},
            {"version", head.version},
            {"started", PrivateFile::IsoTime(head.started)},
            {"ended", PrivateFile::IsoTime(head.ended)},
            {"outcome_code", head.outcomeCode},
            {"outcome", head.outcome},
            {"detail", head.detail}};
}

std::string Text(const nlohmann::ordered_json& status) {
    return status.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

} // namespace StatusFile
