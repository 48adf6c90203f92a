// Addresses of the web tabs: the start address, where a city's entry leads, and what counts as the
// vendor's own site.
#include "WebTabAddress.h"

#include <gtest/gtest.h>

TEST(WebTabAddress, StartAddressAndWhereItLeads) {
    const QString base = "http://127.0.0.1:8080/tessara/";
    const struct {
        const char* entry;
        const char* url; // "" when nothing may be loaded
    } cases[] = {
        {"pages/Demograd/news.html", "http://127.0.0.1:8080/tessara/pages/Demograd/news.html?FromAgent=Tessara"},
        {"news.php?city=Demograd", "http://127.0.0.1:8080/tessara/news.php?city=Demograd&FromAgent=Tessara"},
        {"/top.html", "http://127.0.0.1:8080/top.html?FromAgent=Tessara"},
        {"https://news.example/a?b=1", "https://news.example/a?b=1&FromAgent=Tessara"},
        {"  pages/x.html ", "http://127.0.0.1:8080/tessara/pages/x.html?FromAgent=Tessara"},
        // Only web addresses with a host are loaded.
        {"file:///etc/passwd", ""},
        {"javascript:alert(1)", ""},
        {"data:text/html,<b>x</b>", ""},
        {"http:///nohost", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        const QString entry = QString::fromUtf8(c.entry).trimmed();
        const QUrl url = entry.isEmpty() ? QUrl() : ResolveWebTabUrl(WebTabStartAddress(entry), base);
        EXPECT_EQ(url.toString(), QString::fromUtf8(c.url));
    }
}

TEST(WebTabAddress, SameOriginTakesSchemeHostAndPort) {
    const QUrl site("http://Vendor.example/tessara/");
    EXPECT_TRUE(SameOrigin(QUrl("http://vendor.example:80/pages/a.html"), site));
    EXPECT_FALSE(SameOrigin(QUrl("https://vendor.example/pages/a.html"), site));
    EXPECT_FALSE(SameOrigin(QUrl("http://vendor.example:8080/"), site));
    EXPECT_FALSE(SameOrigin(QUrl("http://vendor.example.evil/"), site));
    EXPECT_FALSE(SameOrigin(QUrl("file:///tmp/x.html"), site));
    EXPECT_FALSE(SameOrigin(QUrl(), QUrl()));
}
