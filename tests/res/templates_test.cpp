#include "res/templates.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace kv {
namespace {

using tk::Control;
using tk::DialogTemplate;
using tk::Kind;

const Edition kEditions[] = {Edition::Kelvane, Edition::Kelvlite};

struct Expected {
    const DialogTemplate& (*get)(Edition);
    int id;
    const char* kelvane;
    const char* kelvlite;
    std::vector<int> ids;  // controls both editions have
};

const std::vector<Expected>& Table() {
    static const std::vector<Expected> t = {
        {AboutTemplate, IDD_ABOUTBOX, "About Kelvane", "About Kelvane For Vireo/L", {1}},
        {PanelTemplate,
         IDD_KELVIX_DIALOG,
         "Kelvane",
         "Kelvane for Vireo/L",
         {1005, 1006, 1007, 1034, 1010, 1008, 1009, 1000, 1015, 1063, 1064, 2}},
        {IdCheckTemplate,
         IDD_ID_CHECK,
         "ID Check",
         "ID Check",
         {1011, 1010, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1053, 1054, 1055, 1, 2}},
        {SetAddressTemplate, IDD_SET_ADDRESS, "Input Address", "Input Address", {1012, 1013, 1, 2}},
        {PreWriteTemplate, IDD_PRE_WRITE, "Program", "Program", {1016, 1002, 1, 2}},
        {ProgressTemplate, IDD_PROGRESS, "Titel", "Titel", {1020, 1021, 2}},
        {FirstSetTemplate, IDD_FIRST_SET, "Do you set communication state?", "Do you set communication state?", {1, 2}},
        {StatesTemplate, IDD_STATES, "Status", "Status", {1035, 1039, 1038, 1002, 1036, 1040, 1037, 1041, 1}},
        {PreEraseTemplate, IDD_PRE_ERASE, "Erase", "Erase", {1, 2}},
        {SetCommTemplate, IDD_SET_COMM, "Set baudrate", "Set baudrate", {1020, 1044, 1, 2}},
        {StartTemplate, IDD_S_PRG, "Select Program", "Select Program", {1060, 1, 2}},
        {VersionTemplate, IDD_VERSION, "Firmware Version", "Firmware Version", {1062, 1}},
        {DownloadTemplate, IDD_DOWNLOAD, "Download", "Download", {1, 2}},
        {SelectTemplate,
         IDD_SELECT,
         "Program/Download File Select",
         "Program/Download File Select",
         {1011, 1010, 1, 2}},
    };
    return t;
}

std::vector<std::string> Texts(const DialogTemplate& t, Kind kind) {
    std::vector<std::string> out;
    for (const auto& c : t.controls)
        if (c.kind == kind) out.push_back(c.label);
    return out;
}

bool HasText(const DialogTemplate& t, Kind kind, const std::string& text) {
    for (const auto& s : Texts(t, kind))
        if (s == text) return true;
    return false;
}

const Control& Get(const DialogTemplate& t, int id) {
    const Control* c = t.Find(id);
    EXPECT_NE(c, nullptr) << "control " << id << " in template " << t.id;
    static const Control none;
    return c ? *c : none;
}

bool Gone(const Control& c) { return (c.style & tk::kHidden) && (c.style & tk::kDisabled); }

TEST(Templates, CaptionsIdsAndControlsOfEveryTemplate) {
    for (Edition e : kEditions) {
        for (const auto& x : Table()) {
            const DialogTemplate& t = x.get(e);
            SCOPED_TRACE(t.caption);
            EXPECT_EQ(t.id, x.id);
            EXPECT_EQ(t.caption, e == Edition::Kelvane ? x.kelvane : x.kelvlite);
            for (int id : x.ids) EXPECT_NE(t.Find(id), nullptr) << "control " << id;
        }
    }
}

TEST(Templates, AllTemplatesListsEachOnceWithUniqueControlIds) {
    for (Edition e : kEditions) {
        auto all = AllTemplates(e);
        EXPECT_EQ(all.size(), Table().size());
        std::set<int> templateIds;
        for (const DialogTemplate* t : all) {
            EXPECT_TRUE(templateIds.insert(t->id).second) << t->id;
            std::set<int> ids;
            for (const auto& c : t->controls) {
                if (c.id != tk::IDC_STATIC) {
                    EXPECT_TRUE(ids.insert(c.id).second) << t->caption << " " << c.id;
                }
                // Containers name a group box of the same template.
                if (c.container != 0) {
                    const Control* box = t->Find(c.container);
                    ASSERT_NE(box, nullptr) << t->caption;
                    EXPECT_EQ(box->kind, Kind::GroupBox);
                }
                EXPECT_GE(c.colSpan, 1);
            }
        }
    }
}

TEST(Templates, NoTwoVisibleControlsShareACell) {
    for (Edition e : kEditions)
        for (const DialogTemplate* t : AllTemplates(e)) {
            std::set<std::tuple<int, int, int>> cells;
            for (const auto& c : t->controls) {
                if (c.style & tk::kHidden) continue;
                for (int col = c.col; col < c.col + c.colSpan; ++col)
                    EXPECT_TRUE(cells.insert({c.container, c.row, col}).second)
                        << t->caption << " row " << c.row << " col " << col;
            }
        }
}

TEST(Templates, StartDialogOffersModesOnlyInKelvane) {
    const auto& full = StartTemplate(Edition::Kelvane);
    std::vector<int> radios;
    for (const auto& c : full.controls)
        if (c.kind == Kind::RadioButton) radios.push_back(c.id);
    EXPECT_EQ(radios, (std::vector<int>{1058, 1056, 1057}));
    EXPECT_EQ(Get(full, 1058).label, "Internal flash memory");
    EXPECT_EQ(Get(full, 1056).label, "Vireo/H boot loader");
    EXPECT_EQ(Get(full, 1057).label, "Vireo/L Kelvane");
    EXPECT_TRUE(HasText(full, Kind::GroupBox, "Select Program"));
    EXPECT_TRUE(HasText(full, Kind::GroupBox, "RS232C"));
    EXPECT_EQ(full.Find(1077), nullptr);

    const auto& lite = StartTemplate(Edition::Kelvlite);
    EXPECT_TRUE(Texts(lite, Kind::RadioButton).empty());
    EXPECT_EQ(Texts(lite, Kind::GroupBox), (std::vector<std::string>{"RS232C"}));
    EXPECT_TRUE(Gone(Get(lite, 1077)));
    EXPECT_TRUE(Get(lite, 1077).style & tk::kNumber);

    for (Edition e : kEditions) {
        const auto& t = StartTemplate(e);
        EXPECT_EQ(Get(t, 1060).items, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4"}));
        EXPECT_EQ(Get(t, 1060).kind, Kind::ComboBox);
        EXPECT_TRUE(HasText(t, Kind::Static, "Port"));
        EXPECT_EQ(Get(t, 1).label, "OK");
        EXPECT_TRUE(Get(t, 1).style & tk::kDefault);
        EXPECT_EQ(Get(t, 2).label, "Exit");
    }
}

TEST(Templates, PanelButtonsAndKelvliteDifferences) {
    const std::vector<std::pair<int, const char*>> left = {{1005, "Load (ID)..."}, {1006, "Blank..."},
                                                           {1007, "Read..."},      {1034, "Status..."},
                                                           {1010, "E. P. R..."},   {1008, "B. P. R..."}};
    const std::vector<std::pair<int, const char*>> right = {
        {1009, "Program..."}, {1000, "Erase"}, {1015, "Setting..."}, {1063, "Download..."}, {1064, "Version..."}};
    for (Edition e : kEditions) {
        const auto& t = PanelTemplate(e);
        int row = 0;
        for (auto [id, text] : left) {
            EXPECT_EQ(Get(t, id).label, text);
            EXPECT_EQ(Get(t, id).col, 0);
            EXPECT_EQ(Get(t, id).row, row++);
        }
        for (auto [id, text] : right) {
            EXPECT_EQ(Get(t, id).label, text);
            EXPECT_EQ(Get(t, id).col, 1);
        }
        EXPECT_EQ(Get(t, 2).label, "Exit");
        EXPECT_TRUE(Get(t, 2).style & tk::kCentered);
        EXPECT_EQ(Get(t, 2).colSpan, 2);
        EXPECT_EQ(Texts(t, Kind::Separator).size(), 1u);
    }
    const auto& full = PanelTemplate(Edition::Kelvane);
    const auto& lite = PanelTemplate(Edition::Kelvlite);
    EXPECT_FALSE(full.minimizeBox);
    EXPECT_TRUE(lite.minimizeBox);
    EXPECT_EQ(Get(full, 1063).style, 0u);
    EXPECT_TRUE(Gone(Get(lite, 1063)));
    EXPECT_EQ(Get(lite, 1064).row, 5);
}

TEST(Templates, AboutBoxNamesProductAndVersion) {
    const auto& full = AboutTemplate(Edition::Kelvane);
    const auto& lite = AboutTemplate(Edition::Kelvlite);
    EXPECT_TRUE(HasText(full, Kind::Static, "Kelvane Version 2.0.0.0"));
    EXPECT_TRUE(HasText(lite, Kind::Static, "Kelvane for Vireo/L Version 1.0.0.0"));
    for (const auto* t : {&full, &lite}) {
        EXPECT_EQ(Texts(*t, Kind::Icon).size(), 1u);
        EXPECT_EQ(Texts(*t, Kind::Static).size(), 2u);
        EXPECT_TRUE(Get(*t, 1).style & tk::kDefault);
    }
}

TEST(Templates, IdCheckHidesMcuTypeAndCentresIdsInKelvlite) {
    for (Edition e : kEditions) {
        const auto& t = IdCheckTemplate(e);
        const bool lite = e == Edition::Kelvlite;
        EXPECT_EQ(Get(t, 1010).label, "Refer...");
        EXPECT_EQ(Get(t, 1011).kind, Kind::Edit);
        EXPECT_TRUE(HasText(t, Kind::Static, "FilePath"));
        EXPECT_TRUE(HasText(t, Kind::Static, "ID"));
        for (int id = 1002; id <= 1008; ++id) {
            EXPECT_EQ(Get(t, id).kind, Kind::Edit);
            EXPECT_EQ(bool(Get(t, id).style & tk::kCentered), lite);
        }
        // The radios form one consecutive run inside the "MCU Type" frame.
        std::vector<std::string> radios = Texts(t, Kind::RadioButton);
        EXPECT_EQ(radios, (std::vector<std::string>{"Vireo/M", "Vireo/H", "Wren"}));
        const int frame = Get(t, 1053).container;
        EXPECT_EQ(Get(t, frame).label, "MCU Type");
        for (int id : {1053, 1054, 1055, frame}) EXPECT_EQ(Gone(Get(t, id)), lite) << id;
    }
}

TEST(Templates, SetCommListsRatesAndIntervals) {
    const std::vector<std::string> rates = {"9600", "19200", "38400", "57600", "115200"};
    const std::vector<std::string> intervals = {"5", "10", "15", "20", "25", "30", "35", "40", "45", "50"};
    EXPECT_EQ(Get(SetCommTemplate(Edition::Kelvane), 1020).items, rates);
    EXPECT_EQ(Get(SetCommTemplate(Edition::Kelvlite), 1020).items,
              std::vector<std::string>(rates.begin(), rates.end() - 1));
    for (Edition e : kEditions) {
        const auto& t = SetCommTemplate(e);
        EXPECT_EQ(Get(t, 1044).items, intervals);
        EXPECT_TRUE(HasText(t, Kind::Static, "Baud rate (bps)"));
        EXPECT_TRUE(HasText(t, Kind::Static, "Program_intervals(ms)"));
        EXPECT_EQ(Get(t, 1020).label, "Baud rate (bps)");
    }
}

TEST(Templates, ConfirmationAndQueryTexts) {
    for (Edition e : kEditions) {
        EXPECT_TRUE(HasText(FirstSetTemplate(e), Kind::Static, "Set communication state first."));
        EXPECT_TRUE(HasText(PreEraseTemplate(e), Kind::Static, "Erase?"));
        EXPECT_TRUE(HasText(DownloadTemplate(e), Kind::Static, "Download?"));
        EXPECT_TRUE(HasText(PreWriteTemplate(e), Kind::Static, "Program next area."));
        EXPECT_TRUE(HasText(PreWriteTemplate(e), Kind::Static, "to"));
        EXPECT_TRUE(HasText(SetAddressTemplate(e), Kind::Static, "Start"));
        EXPECT_TRUE(HasText(SetAddressTemplate(e), Kind::Static, "End"));
        EXPECT_TRUE(HasText(VersionTemplate(e), Kind::Static, "Version"));
        EXPECT_TRUE(Get(VersionTemplate(e), 1062).style & tk::kReadOnly);
        EXPECT_TRUE(Get(PreEraseTemplate(e), 1).style & tk::kDefault);
        EXPECT_TRUE(Get(DownloadTemplate(e), 1).style & tk::kDefault);
        EXPECT_TRUE(Get(SetAddressTemplate(e), 1).style & tk::kDefault);
        // Start left of "to", end right of it.
        const auto& pw = PreWriteTemplate(e);
        EXPECT_LT(Get(pw, 1016).col, Get(pw, 1002).col);
        for (int id : {1016, 1002}) {
            EXPECT_TRUE(Get(pw, id).style & tk::kReadOnly);
            const unsigned lite = tk::kCentered | tk::kUpperCase;
            EXPECT_EQ(Get(pw, id).style & lite, e == Edition::Kelvlite ? lite : 0u);
        }
        const auto& pg = ProgressTemplate(e);
        EXPECT_EQ(Get(pg, 1020).kind, Kind::ProgressBar);
        EXPECT_EQ(Get(pg, 1021).label, "Message");
        EXPECT_TRUE(Get(pg, 1021).style & tk::kCentered);
        EXPECT_EQ(Get(pg, 2).label, "Cancel");
        EXPECT_EQ(pg.Find(1), nullptr);
    }
}

TEST(Templates, StatusWindowLabelsAndKelvliteHiddenFields) {
    const char* labels[] = {"ID Check", "Erase", "Check sum", "Program", "After block"};
    for (Edition e : kEditions) {
        const auto& t = StatesTemplate(e);
        const bool lite = e == Edition::Kelvlite;
        for (const char* l : labels) {
            EXPECT_TRUE(HasText(t, Kind::Static, l)) << l;
        }
        for (int id : {1035, 1039, 1038, 1002, 1036, 1040, 1037, 1041}) {
            EXPECT_TRUE(Get(t, id).style & tk::kReadOnly) << id;
        }
        EXPECT_EQ(Get(t, 1).label, "Menu");
        EXPECT_TRUE(Get(t, 1).style & tk::kDefault);
        EXPECT_EQ(Get(t, 1035).row, 0);
        EXPECT_EQ(Get(t, 1035).col, 0);
        EXPECT_EQ(Gone(Get(t, 1035)), lite);
        EXPECT_EQ(Gone(Get(t, 1041)), lite);
        bool overLabel = false;
        for (const auto& c : t.controls)
            if (c.kind == Kind::Static && c.label == "Over number of data") {
                overLabel = true;
                EXPECT_EQ(Gone(c), lite);
            }
        EXPECT_TRUE(overLabel);
        EXPECT_TRUE(HasText(t, Kind::Static, lite ? "Data receive\ntimeout" : "Data receive timeout"));
    }
}

}  // namespace
}  // namespace kv
