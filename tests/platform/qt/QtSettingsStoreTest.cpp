#include "platform/qt/QtSettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sorvanel {
namespace {

/// The program name the test stores under. On Windows the settings are in the registry: each
/// test takes a name of its own there (tests may run at once), removed before and after it, so
/// that a real user's settings stay as they are.
std::string testApplication()
{
#ifdef _WIN32
    return std::string("Sorvanel test ")
        + ::testing::UnitTest::GetInstance()->current_test_info()->name();
#else
    return "Sorvanel";
#endif
}

// Every test points QSettings at its own temporary folder, never at the user's settings.
class QtSettingsStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
#ifdef _WIN32
        QSettings(registryKey(), QSettings::NativeFormat).remove("");
#endif
    }

#ifdef _WIN32
    void TearDown() override
    {
        QSettings(registryKey(), QSettings::NativeFormat).remove("");
    }

    QString registryKey() const
    {
        return "HKEY_CURRENT_USER\\Software\\Tarnwick\\" + QString::fromStdString(application);
    }
#endif

    /// The stored settings as the file's lines (on Windows the registry key's values).
    QString fileText() const
    {
#ifdef _WIN32
        QSettings registry(registryKey(), QSettings::NativeFormat);
        QString text;
        for (const QString& group : registry.childGroups()) {
            text += "[" + group + "]\n";
            registry.beginGroup(group);
            for (const QString& key : registry.childKeys())
                text += key + "=" + registry.value(key).toString() + "\n";
            registry.endGroup();
        }
        return text;
#endif
        QFile file(folder.path() + "/Tarnwick/Sorvanel.conf");
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }

    /// Writes a raw value the way a hand-edited file or another program would leave it.
    void writeRaw(const QString& name, const QVariant& value)
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Tarnwick",
            QString::fromStdString(application));
        settings.setValue("Settings/" + name, value);
    }

    QTemporaryDir folder;
    const std::string application = testApplication();
    QtSettingsStore store{application};
};

TEST_F(QtSettingsStoreTest, MissingValuesGiveTheDefault)
{
    EXPECT_EQ(store.GetProfileInt("Settings", "WindowLeft", -1), -1);
    EXPECT_EQ(store.GetProfileInt("Settings", "WindowShowCmd", 1), 1);
    EXPECT_EQ(store.GetProfileString("Settings", "Folder", "preset"), "preset");
}

TEST_F(QtSettingsStoreTest, ValuesRoundTripUnderTheSettingsGroup)
{
    store.WriteProfileInt("Settings", "WindowLeft", -20);
    store.WriteProfileInt("Settings", "Big", 2147483647);
    store.WriteProfileString("Settings", "Folder", "/home/u/Müsik, alt");
    store.WriteProfileString("Settings", "Language", "G");
    store.WriteProfileString("Settings", "Latin1", "/home/u/Caf\xe9");

    QtSettingsStore other(application);
    EXPECT_EQ(other.GetProfileString("Settings", "Latin1", ""), "/home/u/Caf\xe9");
    EXPECT_EQ(other.GetProfileInt("Settings", "WindowLeft", 0), -20);
    EXPECT_EQ(other.GetProfileInt("Settings", "Big", 0), 2147483647);
    EXPECT_EQ(other.GetProfileString("Settings", "Folder", ""), "/home/u/Müsik, alt");
    EXPECT_EQ(other.GetProfileString("Settings", "Language", ""), "G");

    QString text = fileText();
    EXPECT_TRUE(text.contains("[Settings]")) << text.toStdString();
    EXPECT_TRUE(text.contains("WindowLeft=-20")) << text.toStdString();
}

TEST_F(QtSettingsStoreTest, SessionWritesTheFileOnceAtItsEnd)
{
    store.WriteProfileInt("Settings", "Volume", 0);
    [[maybe_unused]] QString before = fileText();
    {
        SettingsSession session(store);
        {
            SettingsSession inner(store);
            store.WriteProfileInt("Settings", "Volume", 1);
        }
        store.WriteProfileString("Settings", "Folder", "/x");
        EXPECT_EQ(store.GetProfileInt("Settings", "Volume", -1), 1);
#ifndef _WIN32 // the registry takes each value as it comes
        EXPECT_EQ(fileText(), before);
#endif
    }
    QtSettingsStore other(application);
    EXPECT_EQ(other.GetProfileInt("Settings", "Volume", -1), 1);
    EXPECT_EQ(other.GetProfileString("Settings", "Folder", ""), "/x");
    // After the session every operation goes to the file again.
    store.WriteProfileInt("Settings", "Pan", 1);
    EXPECT_EQ(other.GetProfileInt("Settings", "Pan", -1), 1);
}

TEST_F(QtSettingsStoreTest, EmptyStringIsStoredNotRemoved)
{
    store.WriteProfileString("Settings", "ManufacturerId1", "41");
    store.WriteProfileString("Settings", "ManufacturerId1", "");
    EXPECT_EQ(store.GetProfileString("Settings", "ManufacturerId1", "default"), "");
    EXPECT_TRUE(fileText().contains("ManufacturerId1=")) << fileText().toStdString();
}

TEST_F(QtSettingsStoreTest, IntegerReadsOfOddTexts)
{
    struct Row
    {
        const char* stored;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"12", 12},
        {"-7", -7},
        {"abc", 99},
        {"", 99},
        {"1G", 99},
        {"0x10", 99},
        {"2147483648", 99}, // does not fit in 32 bits
        {"-2147483648", -2147483647 - 1},
    };
    for (const Row& row : rows) {
        writeRaw("Value", QString::fromLatin1(row.stored));
        EXPECT_EQ(store.GetProfileInt("Settings", "Value", 99), row.expected) << row.stored;
    }
}

TEST_F(QtSettingsStoreTest, IntegerReadsAsTextAndTextAsInteger)
{
    store.WriteProfileInt("Settings", "Volume", 1);
    EXPECT_EQ(store.GetProfileString("Settings", "Volume", ""), "1");
    store.WriteProfileString("Settings", "Pan", "0");
    EXPECT_EQ(store.GetProfileInt("Settings", "Pan", 1), 0);
}

TEST_F(QtSettingsStoreTest, ApplicationNameSeparatesStores)
{
    store.WriteProfileString("Settings", "Language", "E");
    QtSettingsStore renamed("Renamed");
    EXPECT_EQ(renamed.GetProfileString("Settings", "Language", "none"), "none");
#ifdef _WIN32
    EXPECT_TRUE(fileText().contains("Language=E"));
#else
    EXPECT_TRUE(QFile::exists(folder.path() + "/Tarnwick/Sorvanel.conf"));
#endif
}

} // namespace
} // namespace sorvanel
