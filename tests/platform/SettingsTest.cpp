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

#include "platform/OverlaySettingsStore.h"

namespace corvane {
namespace {

TEST(OverlaySettingsStore, ReadsThroughAndKeepsWritesToItself) {
    MemorySettingsStore base;
    base.writeInteger("Corvane", "AdapterType", 1);
    base.writeString("Corvane", "ModuleFolder", "/opt/modules");
    OverlaySettingsStore overlay(base);
    EXPECT_EQ(overlay.readInteger("Corvane", "AdapterType"), 1);
    EXPECT_EQ(overlay.readString("Corvane", "ModuleFolder"), "/opt/modules");

    IntegerSetting type(overlay, "Corvane", "AdapterType", 2);
    type.set(2);
    EXPECT_EQ(overlay.readInteger("Corvane", "AdapterType"), 2);
    EXPECT_EQ(base.readInteger("Corvane", "AdapterType"), 1);  // the user's file is untouched
    EXPECT_TRUE(overlay.writeString("Corvane", "KestrixLinkHost", "localhost"));
    EXPECT_FALSE(base.readString("Corvane", "KestrixLinkHost"));
}

}  // namespace
}  // namespace corvane
