#include "inventory/mac/DisplayReport.h"

#include <cctype>
#include <string>

#include <boost/algorithm/string/predicate.hpp>

#include "inventory/mac/ProfilerReport.h"
#include "common/utils.h"

namespace macos {

namespace {

using boost::algorithm::starts_with;

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The first run of digits in `text` at or after `from` that is directly
// followed by `suffix` (as a search for "(\d+)<suffix>" finds it): sets
// `number` and `end` (just past the suffix).
bool findNumberBefore(const std::string& text, size_t from, const std::string& suffix,
                      uint32_t& number, size_t& end) {
    size_t i = from;
    while (i < text.size()) {
        if (!isDigit(text[i])) {
            ++i;
            continue;
        }
        size_t run = i;
        while (run < text.size() && isDigit(text[run]))
            ++run;
        if (text.compare(run, suffix.size(), suffix) == 0) {
            number = static_cast<uint32_t>(leadingNumber(text.substr(i, run - i)));
            end = run + suffix.size();
            return true;
        }
        i = run;
    }
    return false;
}

// "(\d+) x (\d+)" anywhere in the value: "2560 x 1600 Retina", "1920 x 1080 @ 60 Hz".
void readResolution(const std::string& value, tagMONITORSTRUCT& adapter) {
    uint32_t width = 0;
    size_t end = 0;
    size_t from = 0;
    while (findNumberBefore(value, from, " x ", width, end)) {
        if (end < value.size() && isDigit(value[end])) {
            adapter.width = width;
            adapter.height = static_cast<uint32_t>(leadingNumber(value.substr(end)));
            return;
        }
        from = end;
    }
}

// "(\d+)-Bit Color": "32-Bit Color (ARGB8888)"; PowerPC-era reports write "32-bit Color".
void readDepth(const std::string& value, tagMONITORSTRUCT& adapter) {
    size_t end = 0;
    uint32_t depth = 0;
    if (findNumberBefore(value, 0, "-Bit Color", depth, end) ||
        findNumberBefore(value, 0, "-bit Color", depth, end))
        adapter.colorDepth = depth;
}

// "2 GB" in gigabytes, anything else in megabytes ("1536 MB", "64 MB of Shared System Memory").
uint32_t vramKb(const std::string& value) {
    const uint64_t number = static_cast<uint64_t>(leadingNumber(value));
    const uint64_t unit = value.find("GB") != std::string::npos ? kKbPerGb : kKbPerMb;
    return static_cast<uint32_t>(number * unit);
}

} // namespace

std::vector<tagMONITORSTRUCT> readDisplayReport(std::istream& in) {
    std::vector<tagMONITORSTRUCT> monitors;
    tagMONITORSTRUCT adapter;
    bool open = false;
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = wmi::trim(line.substr(0, colon));
        const std::string value = wmi::trim(line.substr(colon + 1));
        if (starts_with(key, "Chipset Model")) {
            if (open) // the previous adapter's block ended without a "Pixel Depth" line
                monitors.push_back(adapter);
            adapter = tagMONITORSTRUCT();
            adapter.name = value;
            open = true;
        } else if (starts_with(key, "VRAM")) {
            adapter.vramKb = vramKb(value);
        } else if (starts_with(key, "Resolution")) {
            readResolution(value, adapter);
        } else if (starts_with(key, "Pixel Depth")) {
            readDepth(value, adapter);
            if (open)
                monitors.push_back(adapter);
            open = false;
        } else if (starts_with(key, "Framebuffer Depth") || starts_with(key, "Depth")) {
            readDepth(value, adapter);
        }
    }
    if (open) // so did the last one's
        monitors.push_back(adapter);
    return monitors;
}

} // namespace macos
