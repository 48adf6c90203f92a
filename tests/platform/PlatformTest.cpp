#include "Folders.h"
#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QUuid>

TEST(SingleInstance, SecondClaimAsksTheFirstToShowItself) {
    const QString key = "tessara-test-" + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance first(key);
    ASSERT_TRUE(first.Claim());
    int activations = 0;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });

    SingleInstance second(key);
    EXPECT_FALSE(second.Claim());
    QDeadlineTimer deadline(3000);
    while (activations == 0 && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(activations, 1);
}

TEST(SingleInstance, ALeftoverSocketDoesNotBlockTheNextStart) {
    const QString key = "tessara-test-" + QUuid::createUuid().toString(QUuid::Id128);
    {
        SingleInstance gone(key);
        ASSERT_TRUE(gone.Claim());
    }
    SingleInstance next(key);
    EXPECT_TRUE(next.Claim());
}

TEST(Folders, EndInSeparatorsAndFollowTheDataHome) {
    qputenv("XDG_DATA_HOME", "/tmp/tessara-data-home");
    Folders f = Folders::System();
    EXPECT_EQ(f.DataFolder, "/tmp/tessara-data-home/Tessara/");
    EXPECT_TRUE(f.ExeFolder.endsWith('/'));
    EXPECT_TRUE(f.TempFolder.endsWith('/'));
}
