// Module loading with real shared libraries: the test module kpvtst01 (built beside this test),
// one without IniProc (kpvtst02), a module that raises, bad codes and a missing library.

#include "platform/hostlib/errors.h"
#include "platform/hostlib/hooks.h"
#include "platform/hostlib/modules.h"
#include "platform/hostlib/settings.h"
#include "platform/toolkit/data/dataset.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace host;

namespace {

class ModuleLoading : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Hooks hooks;
        hooks.onMensErro = [this](const std::string &text) { reports.push_back(text); };
        hooks.onLoadBPL = [this](const std::string &code, const tk::Variant &) { launches.push_back(code); };
        guard = std::make_unique<HooksGuard>(std::move(hooks));
    }
    void TearDown() override
    {
        UnloadModules();
        guard.reset();
    }

    std::vector<std::string> reports;
    std::vector<std::string> launches;
    std::unique_ptr<HooksGuard> guard;
};

TEST_F(ModuleLoading, LibraryIsFoundBesideTheExecutable)
{
    ASSERT_TRUE(GetSettings().modulesDir.empty());
    EXPECT_TRUE(std::filesystem::exists(ModuleLibraryPath("KPVTST01"))) << ModuleLibraryPath("KPVTST01");
    EXPECT_EQ(std::filesystem::path(ModuleLibraryPath("KPVTST01")).filename(), "libkpvtst01.so");
}

TEST_F(ModuleLoading, InitializeOnceIniProcPerCallFinalizeAtUnload)
{
    LoadBPL("KPVTST01", tk::Variant::array({"echo", "0001", 6, true}));
    LoadBPL("kpvtst01", tk::Variant::array({"echo", "segunda"}));
    LoadBPL("KPVTST01", tk::Variant());
    EXPECT_EQ(LoadedModules(), std::vector<std::string>{"KPVTST01"});
    EXPECT_EQ(PackageInfo("KPVTST01"), "kpvtst01: TestModule");
    UnloadModules();
    EXPECT_TRUE(LoadedModules().empty());
    EXPECT_EQ(reports, (std::vector<std::string>{"kpvtst01: Initialize", "IniProc: 0001,6,True",
                                                 "IniProc: segunda", "IniProc: Null", "kpvtst01: Finalize"}));
    EXPECT_EQ(launches, (std::vector<std::string>{"KPVTST01", "kpvtst01", "KPVTST01"}));
}

TEST_F(ModuleLoading, ExceptionsFromTheModuleReachTheCallerWithTheirType)
{
    try {
        LoadBPL("KPVTST01", tk::Variant::array({"raise"}));
        FAIL() << "no exception";
    } catch (const tk::Exception &e) {
        EXPECT_STREQ(e.what(), "falha no módulo de teste");
    }
    EXPECT_THROW(LoadBPL("KPVTST01", tk::Variant::array({"raise-server"})), EServerError);
    // A module argument of the wrong type raises the variant error inside the module.
    EXPECT_THROW(LoadBPL("KPVTST01", tk::Variant::array({tk::Variant::array({})})), tk::EVariantError);
    // Still loaded and usable after its errors.
    LoadBPL("KPVTST01", tk::Variant::array({"echo", "ok"}));
    EXPECT_EQ(reports.back(), "IniProc: ok");
}

TEST_F(ModuleLoading, AModuleCanStartAnotherModule)
{
    LoadBPL("KPVTST01", tk::Variant::array({"nested", "KPVTST01"}));
    EXPECT_EQ(reports, (std::vector<std::string>{"kpvtst01: Initialize", "IniProc: nested KPVTST01",
                                                 "IniProc: de dentro"}));
}

TEST_F(ModuleLoading, DatasetHandleReachesTheModule)
{
    tk::TClientDataSet cdsGrafCust("cdsGrafCust");
    cdsGrafCust.AddField("DTDATA", tk::FieldType::DateTime);
    cdsGrafCust.CreateDataSet();
    for (int i = 0; i < 3; ++i) {
        cdsGrafCust.Append();
        cdsGrafCust.FieldByName("DTDATA")->SetAsDateTime(46082.0 + i);
        cdsGrafCust.Post();
    }
    LoadBPL("KPVTST01", tk::Variant::array({"dataset", DataSetHandle(&cdsGrafCust)}));
    EXPECT_EQ(reports.back(), "IniProc: cdsGrafCust 3");
    EXPECT_EQ(DataSetFromHandle(DataSetHandle(&cdsGrafCust)), &cdsGrafCust);
    for (const tk::Variant &bad : {tk::Variant(), tk::Variant(0.0), tk::Variant(-8.0), tk::Variant(1.5),
                                   tk::Variant("123"), tk::Variant(4096.0),
                                   tk::Variant(static_cast<double>(reinterpret_cast<uintptr_t>(&reports)))})
        EXPECT_THROW(DataSetFromHandle(bad), EHostError) << bad.toDisplayString();
}

TEST_F(ModuleLoading, BadCodesAreRefusedBeforeAnyFileIsTouched)
{
    for (const char *code : {"", "../kpvtst01", "KPV 40206", "kpv;rm", "KPV-40206", "libkpvtst01.so",
                             "KPVTST01\n", "Kpvç01"}) {
        try {
            LoadBPL(code, tk::Variant());
            ADD_FAILURE() << code << ": no exception";
        } catch (const EHostError &e) {
            EXPECT_EQ(std::string(e.what()).rfind("Código de módulo inválido: ", 0), 0u) << e.what();
        }
    }
    EXPECT_TRUE(launches.empty());
    EXPECT_TRUE(LoadedModules().empty());
}

TEST_F(ModuleLoading, MissingLibraryNamesTheFile)
{
    try {
        LoadBPL("KPV99999", tk::Variant());
        FAIL() << "no exception";
    } catch (const EHostError &e) {
        EXPECT_NE(std::string(e.what()).find("libkpv99999.so"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(LoadedModules().empty());
}

TEST_F(ModuleLoading, MissingEntryNamesTheEntry)
{
    try {
        LoadBPL("KPVTST02", tk::Variant());
        FAIL() << "no exception";
    } catch (const EHostError &e) {
        EXPECT_NE(std::string(e.what()).find("IniProc"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("libkpvtst02.so"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(LoadedModules().empty()) << "a library without its entries is not kept";
}

TEST_F(ModuleLoading, ModulesDirFromTheSettings)
{
    const Settings saved = GetSettings();
    Settings settings = saved;
    settings.modulesDir = "/tmp/hostlib-no-modules-here";
    SetSettings(settings);
    EXPECT_EQ(ModuleLibraryPath("KPV40206"), "/tmp/hostlib-no-modules-here/libkpv40206.so");
    EXPECT_THROW(LoadBPL("KPVTST01", tk::Variant()), EHostError);
    SetSettings(saved);
}

TEST_F(ModuleLoading, LauncherReplacesTheRealLaunch)
{
    std::vector<std::pair<std::string, tk::Variant>> launched;
    GetHooks().launcher = [&](const std::string &code, const tk::Variant &args) {
        launched.emplace_back(code, args);
    };
    const tk::Variant args = tk::Variant::array({"0001", "001", 6, "10"});
    LoadBPL("KPV49700", args);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].first, "KPV49700");
    EXPECT_EQ(launched[0].second, args);
    EXPECT_TRUE(LoadedModules().empty()) << "nothing was loaded";
    EXPECT_EQ(launches, std::vector<std::string>{"KPV49700"});
    EXPECT_THROW(LoadBPL("KPV/49700", args), EHostError) << "the code is checked before the launcher";
}

} // namespace
