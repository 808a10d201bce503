#pragma once
// Replays of real machines: only stub commands on PATH (and the ordinary
// utilities), the files the script reads under the test's root folder.

#include <string>

#include "tests/script/ScriptHarness.h"

namespace scripttest {

class ScriptReplay : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        ASSERT_TRUE(fs::is_directory(sample("linux"))) << "samples not found: " << sample("");
        linkUtilities();
        stub("uname", "case \"$1\" in -m) echo x86_64 ;; *) echo Linux ;; esac");
        stub("hostname", "case \"$1\" in -d) echo example.org ;; *) echo host1 ;; esac");
    }

    // The script run on the replayed machine, then the agent's collection.
    Inventory replay(const std::string& shell = "dash") {
        const Outcome outcome = runScript(true, shell);
        EXPECT_EQ(outcome.status, 0) << readFile(base / "err");
        return collect();
    }
};

} // namespace scripttest
