// Addresses from a city file or a service reach the system's opener only when they are web addresses
// or plain mail and Skype links: never a local file, a launcher, a script or a mail that attaches files.
#include "ShellOpen.h"

#include <gtest/gtest.h>

#include <QStringList>

TEST(OutsideLinks, OnlyWebAddressesAndPlainMailAndSkypeLinksReachTheOpener) {
    struct Case {
        const char* link;
        bool opened;
    };
    const Case cases[] = {
        {"http://www.example.org", true},
        {"https://example.org/path?q=1#top", true},
        {"HTTP://EXAMPLE.ORG/", true},
        {"http://пример.рф/страница", true},
        {"mailto:info@example.org", true},
        {"MAILTO:a.b+c@example.org", true},
        {"skype:some.one", true},
        {"skype:live:.cid.12ab", true},
        {"file:///etc/passwd", false},
        {"file:///usr/share/applications/xterm.desktop", false},
        {"/usr/share/applications/xterm.desktop", false},
        {"~/run.sh", false},
        {"run.sh", false},
        {"javascript:alert(1)", false},
        {"data:text/html,<script>alert(1)</script>", false},
        {"smb://host/share", false},
        {"ftp://example.org/x", false},
        {"http:///etc/passwd", false},
        {"http:/etc/passwd", false},
        {"http:", false},
        {"http://", false},
        {"http://exa mple.org", false},
        {"http://example.org\n/x", false},
        {"mailto:a@example.org?attach=/etc/passwd", false},
        {"mailto:a@example.org%3Fattach=/etc/passwd", false},
        {"mailto:a@example.org&attach=/etc/passwd", false},
        {"mailto:?to=a@example.org", false},
        {"mailto:", false},
        {"mailto:nobody", false},
        {"mailto:a @example.org", false},
        {"skype:someone?call", false},
        {"skype:", false},
        {"skype:some%20one", false},
        {"skype:../../x", false},
        {"", false},
    };
    QStringList opened;
    SetShellOpenHook([&](const QString& target) {
        opened << target;
        return true;
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        opened.clear();
        const QString link = QString::fromUtf8(c.link);
        EXPECT_EQ(IsSafeOutsideLink(link), c.opened);
        EXPECT_EQ(OpenOutsideLink(link), c.opened);
        EXPECT_EQ(opened, c.opened ? QStringList{link} : QStringList{});
    }
    SetShellOpenHook({});
}
