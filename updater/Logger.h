#pragma once
// The updater's log: one file a day, "updatelog/kxupd_YYYYMMDD.log" under the
// working directory, one line per event:
//
//   2024/03/05 09:07:02|-|DownloadList: from:update.example.com port:80 ssl:0
//
// The file is written by Boost.Log's text-file sink, installed by Start and
// removed by Stop. The folder is created 0700 and each day's file 0600.

#include <cstdarg>
#include <string>

class Logger {
public:
    // Creates "updatelog" (0700), or deletes the "kxupd_*" files in it but
    // the newest 30 days; today's file is never deleted.
    static void Delete();
    // Installs the daily text-file sink (the argument has no effect).
    static void Start(bool);
    // One line from a printf-style format; the message is cut to 199 bytes,
    // then its control characters are escaped (\n, \r, \t, \xHH).
    static int Write(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static int WriteV(int, const char* format, va_list arguments)
        __attribute__((format(printf, 2, 0)));
    // Removes every sink, which flushes and closes the file.
    static void Stop();
    // Sets `text` to the bytes of today's file; leaves it unchanged when the
    // file cannot be examined.
    static void Get(std::string& text);
};
