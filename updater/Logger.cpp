#include "updater/Logger.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include <boost/filesystem.hpp>
#include <boost/log/core.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/text_file_backend.hpp>
#include <boost/log/trivial.hpp>

#include "common/LocalTime.h"
#include "common/LogRetention.h"
#include "common/PrivateFile.h"
#include "common/LogText.h"

namespace fs = boost::filesystem;
namespace sinks = boost::log::sinks;

namespace {

const char* const logDir = "updatelog";
const char* const filePattern = "updatelog/kxupd_%Y%m%d.log";
const char* const filePrefix = "kxupd_";
const std::uintmax_t maxStoredBytes = 104857600;

} // namespace

void Logger::Delete() {
    boost::system::error_code error;
    fs::file_status status = fs::status(logDir, error);
    if (error || !fs::exists(status)) {
        PrivateFile::MakeFolder(logDir);
        return;
    }
    // The newest 30 days stay; today's file is never deleted.
    LogRetention::Prune(logDir, filePrefix, LocalTime::Now(filePattern + std::strlen(logDir) + 1));
}

void Logger::Start(bool) {
    PrivateFile::MakeFolder(logDir);
    using backend = sinks::text_file_backend;
    auto file = boost::make_shared<backend>(
        boost::log::keywords::file_name = filePattern,
        boost::log::keywords::open_mode = std::ios_base::out | std::ios_base::app,
        boost::log::keywords::auto_flush = true,
        boost::log::keywords::time_based_rotation = sinks::file::rotation_at_time_point(0, 0, 0));
    file->set_file_collector(sinks::file::make_collector(
        boost::log::keywords::target = logDir, boost::log::keywords::max_size = maxStoredBytes));
    file->scan_for_files();
    file->set_auto_newline_mode(sinks::auto_newline_mode::always_insert);
    boost::log::core::get()->add_sink(boost::make_shared<sinks::synchronous_sink<backend>>(file));
}

int Logger::Write(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WriteV(0, format, arguments);
    va_end(arguments);
    return 0;
}

int Logger::WriteV(int, const char* format, va_list arguments) {
    char message[200];
    std::vsnprintf(message, sizeof message, format, arguments);
    std::string stamp = LocalTime::Now("%Y/%m/%d %H:%M:%S");
    // The sink opens the day's file with the process's umask: create it
    // first, readable by the owner only (the log names the server and paths).
    PrivateFile::Touch(LocalTime::Now(filePattern));
    char line[1100];
    // Whatever the message holds stays on its one line.
    std::string text = LogText::EscapeControls(message);
    std::snprintf(line, sizeof line, "%s|-|%s", stamp.c_str(), text.c_str());
    BOOST_LOG_TRIVIAL(info) << line;
    return 0;
}

void Logger::Stop() { boost::log::core::get()->remove_all_sinks(); }

void Logger::Get(std::string& text) {
    std::string name = LocalTime::Now(filePattern);
    boost::system::error_code error;
    std::uintmax_t size = fs::file_size(name, error);
    if (error)
        return;
    std::ifstream file(name, std::ios::binary);
    std::string content(size, '\0');
    file.read(&content[0], static_cast<std::streamsize>(size));
    content.resize(static_cast<std::size_t>(file.gcount()));
    text = content;
}
