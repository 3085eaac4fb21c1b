// The settings dialog is described twice: in the resource script Windows
// compiles, and as the table the GTK dialog lays itself out from. Here the
// compiled template is read back from the module and held against the table.

#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "config/dialog_template.h"
#include "res/resource_ids.h"

namespace {

class TemplateReader {
public:
    explicit TemplateReader(const BYTE* p) : p_(p) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    BYTE Byte() { return Take<BYTE>(); }
    // A string or an ordinal (0xFFFF, then the number), as "#n".
    std::string SzOrOrd() {
        if (Peek() == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        std::string s;
        for (WORD c = Word(); c != 0; c = Word()) s += static_cast<char>(c);
        return s;
    }
    void AlignDword() {
        while (reinterpret_cast<ULONG_PTR>(p_) % 4 != 0) ++p_;
    }
    void Skip(std::size_t n) { p_ += n; }

private:
    WORD Peek() const {
        WORD w;
        std::memcpy(&w, p_, sizeof w);
        return w;
    }
    template <typename T>
    T Take() {
        T v;
        std::memcpy(&v, p_, sizeof v);
        p_ += sizeof v;
        return v;
    }
    const BYTE* p_;
};

// The predefined classes a template may name by ordinal.
std::string ClassName(const std::string& nameOrOrdinal) {
    if (nameOrOrdinal == "#128") return "BUTTON";
    if (nameOrOrdinal == "#130") return "STATIC";
    if (nameOrOrdinal == "#131") return "LISTBOX";
    if (nameOrOrdinal == "#133") return "COMBOBOX";
    std::string upper = nameOrOrdinal;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

TEST(SettingsDialogTemplate, ResourceScriptAndCoreTableAgree) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_SETTINGS), MAKEINTRESOURCEA(5));  // RT_DIALOG
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(IDD_SETTINGS, kSettingsDialogTemplateId);
    TemplateReader r(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found))));

    ASSERT_EQ(r.Word(), 1);       // DLGTEMPLATEEX
    ASSERT_EQ(r.Word(), 0xFFFF);
    r.Dword();                    // help id
    EXPECT_EQ(r.Dword(), kSettingsDialogExStyle);
    EXPECT_EQ(r.Dword(), kSettingsDialogStyle);
    const WORD count = r.Word();
    EXPECT_EQ(count, kSettingsControlCount);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), kSettingsDialogWidthDu);
    EXPECT_EQ(r.Short(), kSettingsDialogHeightDu);
    EXPECT_EQ(r.SzOrOrd(), "");  // menu
    EXPECT_EQ(r.SzOrOrd(), "");  // class
    EXPECT_EQ(r.SzOrOrd(), kSettingsDialogCaption);
    EXPECT_EQ(r.Word(), kSettingsDialogFontPoints);
    r.Word();  // weight
    r.Byte();  // italic
    r.Byte();  // character set
    EXPECT_EQ(r.SzOrOrd(), kSettingsDialogFontFace);

    for (int i = 0; i < count && i < kSettingsControlCount; ++i) {
        const TemplateControl& c = kSettingsControls[i];
        SCOPED_TRACE("control " + std::to_string(c.id));
        r.AlignDword();
        r.Dword();  // help id
        EXPECT_EQ(r.Dword(), 0u);
        EXPECT_EQ(r.Dword(), c.style);
        EXPECT_EQ(r.Short(), c.x);
        EXPECT_EQ(r.Short(), c.y);
        EXPECT_EQ(r.Short(), c.cx);
        EXPECT_EQ(r.Short(), c.cy);
        EXPECT_EQ(static_cast<int>(r.Dword()), c.id);
        EXPECT_EQ(ClassName(r.SzOrOrd()), c.className);
        EXPECT_EQ(r.SzOrOrd(), c.text != nullptr ? c.text : "");
        r.Skip(r.Word());  // creation data
    }
}

}  // namespace
