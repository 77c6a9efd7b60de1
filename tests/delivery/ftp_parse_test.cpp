// Parsers of what FTP servers send: replies, PASV addresses, listings; and the name code page.
#include "platform/Cp1251.h"
#include "delivery/ftp/FtpListing.h"
#include "delivery/ftp/FtpPasv.h"
#include "delivery/ftp/FtpReply.h"
#include <cstdio>
#include <gtest/gtest.h>

namespace kw::ftp {
namespace {

using State = TFtpReplyReader::TState;

TEST(FtpReplyTest, RepliesSplitAnywhereAndPipelinedAreTakenInOrder) {
    const std::string bytes = "150-Opening\r\n 150 not the end\r\n150 go\r\n226 done\n";
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        TFtpReplyReader r;
        TFtpReply reply;
        TMessage error;
        r.Append(bytes.data(), cut);
        State s = r.Take(reply, error);
        if (s != State::Complete) {
            ASSERT_EQ(s, State::NeedMore);
            r.Append(bytes.data() + cut, bytes.size() - cut);
            ASSERT_EQ(r.Take(reply, error), State::Complete);
        } else {
            r.Append(bytes.data() + cut, bytes.size() - cut);
        }
        EXPECT_EQ(reply.Code, 150);
        EXPECT_EQ(reply.Lines.size(), 3u);
        EXPECT_EQ(reply.Text(), "150 Opening 150 not the end go");
        ASSERT_EQ(r.Take(reply, error), State::Complete);
        EXPECT_EQ(reply.Code, 226);
        EXPECT_EQ(reply.Text(), "226 done");
        EXPECT_EQ(r.Take(reply, error), State::NeedMore);
    }
}

TEST(FtpReplyTest, MultiLineEndsOnlyAtTheSameCodeWithABlank) {
    TFtpReplyReader r;
    const std::string bytes = "230-a\r\n231 other code\r\n230-dash again\r\n230\r\n";
    r.Append(bytes.data(), bytes.size());
    TFtpReply reply;
    TMessage error;
    ASSERT_EQ(r.Take(reply, error), State::Complete);
    EXPECT_EQ(reply.Lines.size(), 4u);
    EXPECT_EQ(reply.FirstLine(), "230-a");
}

TEST(FtpReplyTest, GarbageAndOverlongInputIsMalformed) {
    for (const std::string bad : {"abc\r\n", "22 short\r\n", "2200 four\r\n", "\r\n", "220x\r\n"}) {
        TFtpReplyReader r;
        r.Append(bad.data(), bad.size());
        TFtpReply reply;
        TMessage error;
        EXPECT_EQ(r.Take(reply, error), State::Malformed) << bad;
        EXPECT_FALSE(error.Empty());
    }
    TFtpReplyReader r;
    const std::string endless(TFtpReplyReader::MaxLineLength + 1, '2');
    r.Append(endless.data(), endless.size());
    TFtpReply reply;
    TMessage error;
    EXPECT_EQ(r.Take(reply, error), State::Malformed);
}

TEST(FtpPasvTest, BothAddressFormsAndTheirFaults) {
    net::TIpv4Endpoint e;
    ASSERT_TRUE(ParsePasvAddress("227 Entering Passive Mode (192,168,1,2,19,137).", e));
    EXPECT_EQ(e.HostText(), "192.168.1.2");
    EXPECT_EQ(e.Port, 19 * 256 + 137);
    ASSERT_TRUE(ParsePasvAddress("227 Entering Passive Mode 127,0,0,1,255,255", e));
    EXPECT_EQ(e.Port, 65535);
    ASSERT_TRUE(ParsePasvAddress("227 Passive 127,0,0,1,0,21.", e));  // the last blank's text, full stop allowed
    EXPECT_TRUE(ParsePasvAddress("227 ok ( 10, 0, 0, 1, 4, 1 )", e));
    for (const char* bad : {"227 (127,0,0,1,256,1)", "227 (127,0,0,1,4)", "227 (127,0,0,1,4,1,9)", "227 (1,2,3,4,5,6",
                            "227 (,,,,,)", "227", "227 (127,0,0,1,99999999999999999999,1)", "227 (a,b,c,d,e,f)"})
        EXPECT_FALSE(ParsePasvAddress(bad, e)) << bad;
    EXPECT_EQ(FormatPortArgument(net::TIpv4Endpoint{{127, 0, 0, 1}, 5001}), "127,0,0,1,19,137");
}

std::vector<TFtpListEntry> Parse(const std::string& text) { return ParseFtpListing(SplitListingLines(text), 2026, 6); }

TEST(FtpListingTest, UnixWithAndWithoutGroupTotalLinksAndDates) {
    const auto e = Parse("total 12\r\n"
                         "drwxr-xr-x    2 ftp      ftp          4096 Dec 07 21:16 www\r\n"
                         "-rw-r--r--  1 owner 1234 Mar  5 09:07 nogroup.html\r\n"
                         "lrwxrwxrwx 1 u g 7 Jan 1 2020 latest -> www/index.html\r\n"
                         "   \t \r\n"
                         "drwxrwxrwt 2 u g 0 Feb 29 2024 tmp\r\n"
                         "-rw-r--r-- 1 u g huge Jun 30 23:59 a  b\r\n");
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].Kind, TFtpEntryKind::Folder);
    EXPECT_EQ(e[0].Name, "www");
    EXPECT_EQ(FormatListingDate(e[0].Modified), "07-12-25 21:16");  // December lies after June: last year
    EXPECT_EQ(e[1].Name, "nogroup.html");
    EXPECT_EQ(e[1].Size, 1234);
    EXPECT_EQ(FormatListingDate(e[1].Modified), "05-03-26 09:07");
    EXPECT_EQ(e[2].Kind, TFtpEntryKind::Link);
    EXPECT_EQ(e[2].Name, "latest");
    EXPECT_EQ(FormatListingDate(e[2].Modified), "01-01-20 00:00");
    EXPECT_EQ(FormatListingDate(e[3].Modified), "29-02-24 00:00");
    EXPECT_EQ(e[4].Size, 0);       // not a number
    EXPECT_EQ(e[4].Name, "a b");  // parts joined by single blanks
}

TEST(FtpListingTest, AFailingLineEmptiesWhatCameBefore) {
    const auto e = Parse("-rw-r--r-- 1 u g 1 Jan 1 2020 first\n"
                         "-rw-r--r-- 1 u g 1 Feb 30 2020 no-such-date\n"
                         "-rw-r--r-- 1 u g 2 Jan 1 2020 second\n"
                         "-rw-r--r-- short line\n"
                         "-rw-r--r-- 1 u g 3 Jan 1 2020 third\n"
                         "-rw-r--r-- 1 u g 4 Foo 1 2020 bad-month\n"
                         "-rw-r--r-- 1 u g 5 Jan 1 25:00 bad-time\n"
                         "-rw-r--r-- 1 u g 6 Jan 1 2020 last\n");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].Name, "last");
}

TEST(FtpListingTest, MsDosStyleAndUnknownFormats) {
    const auto e = Parse("12-06-23  06:45PM       <DIR>          My Folder\r\n"
                         "01-02-24  12:05AM              1,234,567 big file.zip\r\n"
                         "13-45-99  99:99PM                     10 odd date.txt\r\n");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].Kind, TFtpEntryKind::Folder);
    EXPECT_EQ(e[0].Name, "My Folder");
    EXPECT_EQ(FormatListingDate(e[0].Modified), "06-12-23 18:45");
    EXPECT_EQ(e[1].Size, 1234567);
    EXPECT_EQ(FormatListingDate(e[1].Modified), "02-01-24 00:05");
    EXPECT_EQ(FormatListingDate(e[2].Modified), "30-12-99 00:00");  // the zero date
    EXPECT_TRUE(Parse("hello world\r\n-rw-r--r-- 1 u g 1 Jan 1 2020 x\r\n").empty());
    EXPECT_TRUE(Parse("").empty());
    EXPECT_EQ(Parse("\n\nTOTAL 0\n").size(), 0u);
    EXPECT_EQ(Parse("DSK:[PUB] -rw-r--r-- 1 u g 1 Jan 1 2020 x\n").size(), 0u);  // Unix rules, name missing
}

TEST(Cp1251Test, CyrillicRoundTripAndBadUtf8) {
    const std::string ansi = "\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8 \xB9";  // "Привет Ёё №"
    const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\x81\xD1\x91 \xE2\x84\x96";
    EXPECT_EQ(Cp1251ToUtf8(ansi), utf8);
    EXPECT_EQ(Utf8ToCp1251(utf8), ansi);
    EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD" "b"), "a?b");             // no Windows-1251 form
    EXPECT_EQ(Utf8ToCp1251("\xC0\x80\xFF\xD0"), "????");             // overlong, invalid, cut short
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");                  // surrogate
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

#ifndef _WIN32
// The table against Python's codec, an independent converter (0x98 is unassigned there).
TEST(Cp1251Test, TableMatchesPythonCodec) {
    FILE* p = popen("/usr/bin/python3 -c \"import sys; sys.stdout.buffer.write(bytes(b for b in range(128, 256) "
                    "if b != 0x98).decode('cp1251').encode('utf-8'))\"",
                    "r");
    ASSERT_NE(p, nullptr);
    std::string expected;
    char buf[1024];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        expected.append(buf, n);
    ASSERT_EQ(pclose(p), 0);
    std::string upper;
    for (int b = 128; b < 256; ++b)
        if (b != 0x98)
            upper += static_cast<char>(b);
    EXPECT_EQ(Cp1251ToUtf8(upper), expected);
}
#endif

} // namespace
} // namespace kw::ftp
