// The HTTP target's portable pieces: URLs made safe and resolved, status lines, fingerprints,
// content types, and SHA-256 against the standard's vectors.
#include "delivery/http/HttpDelivery.h"
#include "delivery/http/HttpStatus.h"
#include "delivery/http/HttpUrl.h"
#include "platform/Sha256.h"
#include "render/CodePages.h"
#include <gtest/gtest.h>

namespace {

using namespace kw;

TEST(HttpUrl, UnsafeBytesAreEncodedAndTheLineCannotBeBroken) {
    EXPECT_EQ(CleanUrl("http://h/a b?x=\r\nHost: evil"), "http://h/a%20b?x=%0D%0AHost:%20evil");
    EXPECT_EQ(CleanUrl("http://h/\xD0\x9A|{}"), "http://h/%D0%9A%7C%7B%7D");
    EXPECT_EQ(CleanUrl("http://h/a%20b?c=d&e"), "http://h/a%20b?c=d&e");  // already encoded stays
}

TEST(HttpUrl, OnlyHttpAndHttpsWithAHostAndNoCredentials) {
    TUrlParts p;
    ASSERT_TRUE(SplitUrl("HTTPS://Example.org:8443?q=1#frag", p));
    EXPECT_EQ(p.Scheme, "https");
    EXPECT_EQ(p.Authority, "Example.org:8443");
    EXPECT_EQ(p.Target, "/?q=1");
    EXPECT_EQ(JoinUrl(p), "https://Example.org:8443/?q=1");
    for (const char* bad : {"ftp://h/", "http:///x", "http://u:p@h/", "h/x", "", "javascript:alert(1)"})
        EXPECT_FALSE(SplitUrl(bad, p)) << bad;
}

TEST(HttpUrl, RedirectTargets) {
    TUrlParts base, to;
    ASSERT_TRUE(SplitUrl("http://h:81/a/b?q=/x", base));
    ASSERT_TRUE(ResolveLocation(base, "c?d", to));
    EXPECT_EQ(JoinUrl(to), "http://h:81/a/c?d");
    ASSERT_TRUE(ResolveLocation(base, "/root", to));
    EXPECT_EQ(JoinUrl(to), "http://h:81/root");
    ASSERT_TRUE(ResolveLocation(base, "//other/p", to));
    EXPECT_EQ(JoinUrl(to), "http://other/p");
    ASSERT_TRUE(ResolveLocation(base, "https://x/y z", to));
    EXPECT_EQ(JoinUrl(to), "https://x/y%20z");
    EXPECT_FALSE(ResolveLocation(base, "file:///etc/passwd", to));
    EXPECT_TRUE(SameOrigin(base, base));
    EXPECT_FALSE(SameOrigin(base, to));
}

TEST(HttpStatus, StatusLinesAreReadAndMadeFitToShow) {
    THttpStatus s;
    ASSERT_TRUE(ParseStatusLine("HTTP/1.1 404 Not Found", s));
    EXPECT_EQ(s.Code, 404);
    EXPECT_EQ(s.Line, "HTTP/1.1 404 Not Found");
    ASSERT_TRUE(ParseStatusLine("HTTP/2 200", s));
    EXPECT_EQ(s.Code, 200);
    static const char hostile[] = "HTTP/1.0 500 a\x1b[31m\0b";
    ASSERT_TRUE(ParseStatusLine(std::string(hostile, sizeof hostile - 1) + std::string(500, 'x'), s));
    EXPECT_EQ(s.Line.size(), MaxStatusLine);
    EXPECT_EQ(s.Line.substr(0, 20), "HTTP/1.0 500 a?[31m?");
    for (const char* bad : {"", "HTTP/1.1", "HTTP/1.1 20", "HTTP/1.1 2000", "HTTP/1.1 099 x", "ICY 200 OK", "HTTP/1.1 2x0"})
        EXPECT_FALSE(ParseStatusLine(bad, s)) << bad;
}

TEST(HttpTargetSettings, FingerprintsAndContentTypes) {
    std::string f;
    ASSERT_TRUE(NormaliseFingerprint("A4:36:FA:89:96:99:7C:2C:C4:4E:07:5D:8F:E0:B6:16:1D:08:E1:86:9B:36:7D:C5:55:6F:6F:5D:49:8B:4C:F7", f));
    EXPECT_EQ(f, "a436fa8996997c2cc44e075d8fe0b6161d08e1869b367dc5556f6f5d498b4cf7");
    EXPECT_FALSE(NormaliseFingerprint("a436", f));
    EXPECT_FALSE(NormaliseFingerprint(std::string(63, 'a') + "g", f));
    EXPECT_EQ(DefaultContentType("C:\\web\\now.HTM", cpUTF8), "text/html; charset=utf-8");
    EXPECT_EQ(DefaultContentType("/x.d/now", cpKOI8U), "text/plain; charset=koi8-u");
    EXPECT_EQ(DefaultContentType("now.json", cpWindows1251), "application/json; charset=windows-1251");
    EXPECT_EQ(DefaultContentType("now.xml", cpCP866), "application/xml; charset=ibm866");
}

TEST(Sha256, StandardVectors) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(Sha256Hex(std::string(55, 'x')).size(), 64u);  // one block exactly with its length
}

} // namespace
