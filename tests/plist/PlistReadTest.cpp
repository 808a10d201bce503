// The reading entry points (file, stream, buffer) and the date type.
#include <cctype>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/plist/PlistTestSupport.h"
#include "tests/support/Files.h"
#include "tests/support/LocalZone.h"
#include "tests/support/TempFolder.h"

using namespace plisttest;

namespace {

TEST(ReadFile, MissingFileCannotBeOpened) {
    boost::any value;
    EXPECT_EQ(failureOf([&] { Plist::readPlist("/nonexistent/kx/list.plist", value); }),
              "Can't open file.");
}

TEST(ReadFile, EmptyFileIsZeroLengthData) {
    const kxtest::TempFolder dir("kx-plist");
    kxtest::writeFile(dir / "empty.xml", "");
    EXPECT_EQ(failureOf([&] { readFile((dir / "empty.xml").string()); }),
              "Can't read zero length data");
}

TEST(ReadFile, ContentNotNameDecidesTheSyntax) {
    const kxtest::TempFolder dir("kx-plist");
    kxtest::writeFile(dir / "looks.xml", kxtest::readFile(fixture("binary/scalar_root.bplist")));
    EXPECT_EQ(boost::any_cast<std::string>(readFile((dir / "looks.xml").string())),
              "only a string");
    boost::any value;
    Plist::readPlist(std::string(fixture("xml/scalar_root.xml")), value);
    EXPECT_EQ(boost::any_cast<std::string>(value), "only a string");
}

TEST(ReadStream, ReadsFromTheCurrentPositionToTheEnd) {
    std::istringstream stream("garbage<plist><integer>3</integer></plist>");
    stream.seekg(7);
    boost::any value;
    Plist::readPlist(stream, value);
    EXPECT_EQ(boost::any_cast<long long>(value), 3);
}

// A stream that claims 3 GiB without holding them.
class HugeStream : public std::streambuf {
protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                     std::ios_base::openmode) override {
        const off_type base = dir == std::ios_base::end   ? size
                              : dir == std::ios_base::cur ? position
                                                          : 0;
        position = base + offset;
        return pos_type(position);
    }
    pos_type seekpos(pos_type to, std::ios_base::openmode) override { return position = to; }

private:
    const off_type size = off_type(3) << 30;
    off_type position = 0;
};

TEST(ReadStream, TwoGibibytesOrMoreFailCleanly) {
    HugeStream buffer;
    std::istream stream(&buffer);
    boost::any value;
    EXPECT_EQ(failureOf([&] { Plist::readPlist(stream, value); }),
              "Plist: data of 2 GiB or more can't be read");
}

TEST(ReadStream, EmptyStreamIsZeroLengthData) {
    std::istringstream stream("");
    boost::any value;
    EXPECT_EQ(failureOf([&] { Plist::readPlist(stream, value); }), "Can't read zero length data");
}

TEST(ReadBuffer, NullOrEmptyBufferIsEmptyPlistData) {
    boost::any value;
    EXPECT_EQ(failureOf([&] { Plist::readPlist(nullptr, 10, value); }), "Plist: Empty plist data");
    EXPECT_EQ(failureOf([&] { Plist::readPlist("x", 0, value); }), "Plist: Empty plist data");
}

TEST(ReadBuffer, BuffersShorterThanEightBytesAreXml) {
    // Only the first 7 bytes of "bplist00" are inside the buffer.
    EXPECT_EQ(failureOf([] { readBuffer("bplist0"); }),
              "Plist: XML parsed with error No document element found");
    EXPECT_EQ(failureOf([] { readBuffer("<a/>"); }), "Plist: XML unknown node type ");
}

TEST(ReadBuffer, FailedReadLeavesTheValueAsItWas) {
    boost::any value = std::string("before");
    EXPECT_THROW(Plist::readPlist("<plist><foo/></plist>", 21, value), Plist::Error);
    EXPECT_THROW(Plist::readPlist("bplist00", 8, value), Plist::Error);
    EXPECT_EQ(boost::any_cast<std::string>(value), "before");
}

TEST(ReadBuffer, ErrorIsARuntimeError) {
    const Plist::Error error(std::string("message"));
    const std::runtime_error& base = error;
    EXPECT_STREQ(base.what(), "message");
}

class InTimeZone : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { zone = std::make_unique<kxtest::LocalZone>(GetParam()); }
    void TearDown() override { zone.reset(); }

private:
    std::unique_ptr<kxtest::LocalZone> zone;
};

TEST_P(InTimeZone, UtcFieldsGiveTheSameInstantEverywhere) {
    EXPECT_EQ(Plist::Date(3, 4, 2018, 5, 6, 7, true).timeAsEpoch(), 1520139967);
    Plist::Date date;
    date.setTimeFromXMLConvention("2018-03-04T05:06:07Z");
    EXPECT_EQ(date.timeAsEpoch(), 1520139967);
    // The hour skipped by the European daylight-saving change, read as UTC.
    date.setTimeFromXMLConvention("2018-03-25T02:30:00Z");
    EXPECT_EQ(date.timeAsEpoch(), 1521945000);
    date.setTimeFromXMLConvention("1960-06-15T12:00:00Z");
    EXPECT_EQ(date.timeAsEpoch(), -301233600);
}

TEST_P(InTimeZone, LocalFieldsFollowTheLocalZone) {
    {
        const kxtest::LocalZone utc("UTC0");
        EXPECT_EQ(Plist::Date(3, 4, 2018, 5, 6, 7, false).timeAsEpoch(), 1520139967);
    }
    {
        const kxtest::LocalZone japan("JST-9");
        EXPECT_EQ(Plist::Date(3, 4, 2018, 14, 6, 7, false).timeAsEpoch(), 1520139967);
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, InTimeZone,
                         ::testing::Values("UTC0", "Asia/Tokyo", "Europe/Berlin",
                                           "America/St_Johns"),
                         [](const auto& test) {
                             std::string name = test.param;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(Date, AppleEpochSecondsAreTruncatedTowardZero) {
    Plist::Date date;
    date.setTimeFromAppleEpoch(0.0);
    EXPECT_EQ(date.timeAsEpoch(), 978307200);
    date.setTimeFromAppleEpoch(-0.5);
    EXPECT_EQ(date.timeAsEpoch(), 978307199);
    date.setTimeFromAppleEpoch(0.9);
    EXPECT_EQ(date.timeAsEpoch(), 978307200);
}

TEST(Date, DefaultIsNow) {
    const time_t before = time(nullptr);
    const Plist::Date now;
    EXPECT_GE(now.timeAsEpoch(), before);
    EXPECT_LE(now.timeAsEpoch(), time(nullptr));
}

} // namespace
