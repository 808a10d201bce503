#include "inventory/mac/ProfilerReport.h"

#include <cstdlib>
#include <exception>
#include <optional>

#include "common/InputFile.h"

namespace macos {

namespace {

constexpr const char* kItems = "_items";

} // namespace

ProfilerReport::ProfilerReport(const boost::filesystem::path& file) {
    // The script leaves an empty file where system_profiler printed nothing.
    const std::optional<std::string> bytes =
        inputfile::readInput(file.string(), inputfile::kPropertyListLimit);
    if (!bytes || bytes->empty())
        return;
    try {
        Plist::readPlist(bytes->data(), static_cast<long long>(bytes->size()), root);
    } catch (const std::exception&) {
        return; // damaged: not a property list
    }
    const Plist::array_type* top = as<Plist::array_type>(root);
    if (top == nullptr || top->empty())
        return;
    const Plist::dictionary_type* report = as<Plist::dictionary_type>(top->front());
    if (report == nullptr)
        return;
    itemList = valueOf<Plist::array_type>(*report, kItems);
}

void readText(const Plist::dictionary_type& dict, const std::string& key, std::string& field) {
    if (const std::string* text = valueOf<std::string>(dict, key))
        field = *text;
}

int64_t leadingNumber(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }

// Numbers beyond the 32-bit field keep their low 32 bits.
uint32_t sizeInKb(const std::string& text) {
    const uint64_t number = static_cast<uint64_t>(leadingNumber(text));
    if (text.find("GB") != std::string::npos)
        return static_cast<uint32_t>(number * kKbPerGb);
    if (text.find("MB") != std::string::npos)
        return static_cast<uint32_t>(number * kKbPerMb);
    return 0;
}

} // namespace macos
