#include <gtest/gtest.h>

#include "platform/IntegerSetting.h"
#include "platform/MemorySettingsStore.h"
#include "platform/StringSetting.h"

namespace corvane {
namespace {

TEST(Settings, DefaultUntilStoredThenSavedAtOnce) {
    MemorySettingsStore store;
    IntegerSetting phantoms(store, "Corvane", "ShowPhantoms", 0);
    EXPECT_EQ(phantoms.value(), 0);
    EXPECT_FALSE(store.readInteger("Corvane", "ShowPhantoms"));
    phantoms.set(1);
    EXPECT_EQ(store.readInteger("Corvane", "ShowPhantoms"), 1);
    IntegerSetting again(store, "Corvane", "ShowPhantoms", 0);
    EXPECT_EQ(again.value(), 1);

    StringSetting file(store, "Corvane", "QuickScriptFileName", "QuickScript.scp");
    EXPECT_EQ(file.value(), "QuickScript.scp");
    file.set("other.scp");
    StringSetting reloaded(store, "Corvane", "QuickScriptFileName", "QuickScript.scp");
    EXPECT_EQ(reloaded.value(), "other.scp");
}

}  // namespace
}  // namespace corvane
