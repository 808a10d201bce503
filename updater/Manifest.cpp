#include "updater/Manifest.h"

#include <cctype>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "updater/Sha256.h"
#include "updater/SigningKey.h"

using Json = nlohmann::json;

namespace {

const std::size_t signatureBytes = 64;
// The deepest value of the form: top object → "files" → entry → field.
const int maxDepth = 3;

bool IsSha256Hex(const Json& value) {
    return value.is_string() && Sha256::IsDigestText(value.get_ref<const std::string&>());
}

// True when `object` is an object with exactly the keys given.
bool HasExactly(const Json& object, std::initializer_list<const char*> keys) {
    if (!object.is_object() || object.size() != keys.size())
        return false;
    for (const char* key : keys)
        if (!object.contains(key))
            return false;
    return true;
}

bool ReadFiles(const Json& files, std::vector<ManifestFile>& out, std::string& reason) {
    if (!files.is_array()) {
        reason = "\"files\" is not an array";
        return false;
    }
    for (const Json& file : files) {
        if (!HasExactly(file, {"dir", "name", "sha256", "size"}) || !file["dir"].is_string() ||
            !file["name"].is_string() || !IsSha256Hex(file["sha256"]) ||
            !file["size"].is_number_unsigned() ||
            file["name"].get_ref<const std::string&>().empty()) {
            reason = "file entry " + std::to_string(out.size() + 1) + " is malformed";
            return false;
        }
        ManifestFile entry;
        entry.name = file["name"].get<std::string>();
        entry.dir = file["dir"].get<std::string>();
        entry.size = file["size"].get<std::uint64_t>();
        entry.sha256 = file["sha256"].get<std::string>();
        out.push_back(std::move(entry));
    }
    return true;
}

bool ReadBody(const std::string& body, Manifest& manifest, std::string& reason) {
    bool tooDeep = false;
    Json parsed = Json::parse(
        body,
        [&](int depth, Json::parse_event_t, Json&) {
            if (depth > maxDepth)
                tooDeep = true;
            return !tooDeep;
        },
        false);
    if (tooDeep || parsed.is_discarded()) {
        reason = tooDeep ? "nested too deeply" : "not JSON";
        return false;
    }
    if (!HasExactly(parsed, {"expires", "files", "list_sha256", "version"})) {
        reason = "not a manifest object";
        return false;
    }
    const Json& version = parsed["version"];
    if (!version.is_number_unsigned() || version.get<std::uint64_t>() == 0) {
        reason = "\"version\" is not a positive integer";
        return false;
    }
    if (!parsed["expires"].is_string() ||
        !ParseUtcTime(parsed["expires"].get<std::string>(), manifest.expiresAt)) {
        reason = "\"expires\" is not a YYYY-MM-DDTHH:MM:SSZ time";
        return false;
    }
    if (!IsSha256Hex(parsed["list_sha256"])) {
        reason = "\"list_sha256\" is not a SHA-256";
        return false;
    }
    manifest.files.clear();
    if (!ReadFiles(parsed["files"], manifest.files, reason))
        return false;
    // One form only: what was signed is what is read, byte for byte.
    if (parsed.dump(-1, ' ', false, Json::error_handler_t::replace) != body) {
        reason = "not in canonical form";
        return false;
    }
    manifest.version = version.get<std::uint64_t>();
    manifest.expires = parsed["expires"].get<std::string>();
    manifest.listSha256 = parsed["list_sha256"].get<std::string>();
    return true;
}

} // namespace

bool ParseUtcTime(const std::string& text, std::time_t& time) {
    static const char pattern[] = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != sizeof pattern - 1)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i])
            return false;
    }
    auto number = [&](std::size_t at, std::size_t length) {
        return std::stoi(text.substr(at, length));
    };
    std::tm utc{};
    utc.tm_year = number(0, 4) - 1900;
    utc.tm_mon = number(5, 2) - 1;
    utc.tm_mday = number(8, 2);
    utc.tm_hour = number(11, 2);
    utc.tm_min = number(14, 2);
    utc.tm_sec = number(17, 2);
    std::tm check = utc;
    std::time_t seconds = ::timegm(&check);
    // timegm moves out-of-range fields along (13th month, 31st of April):
    // such a text names no real time.
    if (check.tm_year != utc.tm_year || check.tm_mon != utc.tm_mon ||
        check.tm_mday != utc.tm_mday || check.tm_hour != utc.tm_hour ||
        check.tm_min != utc.tm_min || check.tm_sec != utc.tm_sec)
        return false;
    time = seconds;
    return true;
}

bool ReadManifest(const std::string& text, Manifest& manifest, std::string& reason) {
    if (text.size() > maxManifestBytes) {
        reason = "larger than " + std::to_string(maxManifestBytes) + " bytes";
        return false;
    }
    std::size_t firstEnd = text.find('\n');
    std::size_t secondEnd =
        firstEnd == std::string::npos ? std::string::npos : text.find('\n', firstEnd + 1);
    if (secondEnd == std::string::npos || secondEnd + 1 != text.size()) {
        reason = "not two lines";
        return false;
    }
    manifest.body = text.substr(0, firstEnd);
    std::string signature;
    if (!Base64Decode(text.substr(firstEnd + 1, secondEnd - firstEnd - 1), signature) ||
        signature.size() != signatureBytes) {
        reason = "the second line is not a base64 signature";
        return false;
    }
    manifest.signature = signature;
    return ReadBody(manifest.body, manifest, reason);
}

std::string ManifestBody(const Manifest& manifest) {
    Json files = Json::array();
    for (const ManifestFile& file : manifest.files)
        files.push_back(
            {{"dir", file.dir}, {"name", file.name}, {"sha256", file.sha256}, {"size", file.size}});
    Json body = {{"expires", manifest.expires},
                 {"files", files},
                 {"list_sha256", manifest.listSha256},
                 {"version", manifest.version}};
    try {
        return body.dump();
    } catch (const Json::type_error&) { // a name or folder that is not UTF-8
        return "";
    }
}

std::string ManifestText(const std::string& body, const std::string& signature) {
    return body + "\n" + Base64Encode(signature) + "\n";
}
