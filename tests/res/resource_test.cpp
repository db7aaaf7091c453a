// The compiled resources: dialog templates control by control, strings, the icon
// against its pixel map, the agreement, the manifest and the version block.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/res/dialog_template.h"
#include "version.h"

namespace {

using gktest::DialogTemplate;
using gktest::TemplateControl;
using gktest::TemplateReader;

// A Unix path as Wine's Z: drive sees it.
std::string WinePath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// The modules under test: this test's own image and, when built, gatekeel.exe.
struct ModuleParam {
    const char* name;
    std::string path;  // empty: this process's image
};

void PrintTo(const ModuleParam& module, std::ostream* out) { *out << module.name; }

std::vector<ModuleParam> Modules() {
    std::vector<ModuleParam> modules{{"self", ""}};
#ifdef GK_EXE_PATH
    modules.push_back({"gatekeel_exe", WinePath(GK_EXE_PATH)});
#endif
    return modules;
}

// ---- expected layouts ----

struct ExpectedControl {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    short x, y, cx, cy;
    DWORD styleType;   // the low style bits that give the control's kind (BS_/SS_ type), checked exactly
    DWORD typeMask;    // which low bits styleType covers
    DWORD required;    // further style bits that must be set
    DWORD forbidden;   // style bits that must be clear
    DWORD exRequired;  // extended style bits that must be set
};

constexpr DWORD kButtonType = 0x0F;
constexpr DWORD kStaticType = 0x1F;
constexpr DWORD kNone = 0;

const ExpectedControl kMainControls[] = {
    {IDOK, L"Button", L"Done", 201, 82, 50, 16, BS_DEFPUSHBUTTON, kButtonType, WS_TABSTOP | WS_VISIBLE, 0, 0},
    {IDC_MAPPING_TREE, L"SysTreeView32", L"", 7, 106, 253, 177, 0, 0,
     TVS_CHECKBOXES | TVS_DISABLEDRAGDROP | WS_HSCROLL | WS_TABSTOP,
     TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE},
    {IDC_STATIC, L"Button", L"Virtual Server Settings (Services)", 7, 72, 253, 31, BS_GROUPBOX, kButtonType, 0,
     WS_TABSTOP, 0},
    {IDC_REFRESH, L"Button", L"Refresh Settings List", 7, 48, 46, 19, BS_PUSHBUTTON, kButtonType,
     BS_MULTILINE | WS_TABSTOP, 0, 0},
    {IDC_SSDP_STATUS, L"Static", L"UPnP (SSDP) Discovery Service: ", 61, 7, 199, 19, SS_LEFT, kStaticType, 0, 0,
     WS_EX_STATICEDGE},
    {IDC_SSDP_BUTTON, L"Button", L"SSDP Button", 7, 7, 46, 19, BS_PUSHBUTTON, kButtonType, WS_TABSTOP, 0, 0},
    {IDC_DHCP_STATUS, L"Static", L"DHCP For This Host:", 61, 48, 199, 19, SS_LEFT, kStaticType, 0, 0,
     WS_EX_STATICEDGE},
    {IDC_ADD, L"Button", L"Add...", 11, 82, 50, 14, BS_PUSHBUTTON, kButtonType, WS_TABSTOP, 0, 0},
    {IDC_EDIT, L"Button", L"Edit...", 67, 82, 50, 14, BS_PUSHBUTTON, kButtonType, WS_TABSTOP, 0, 0},
    {IDC_DELETE, L"Button", L"Delete", 121, 82, 50, 14, BS_PUSHBUTTON, kButtonType, WS_TABSTOP, 0, 0},
    {IDC_OS_STATUS, L"Static", L"Your operating system:", 61, 27, 199, 19, SS_LEFT, kStaticType, 0, 0,
     WS_EX_STATICEDGE},
};

const ExpectedControl kAboutControls[] = {
    {IDC_STATIC, L"Static", L"Gatekeel V1.2", 115, 140, 116, 8, SS_LEFT, kStaticType, 0, 0, 0},
    {IDC_ABOUT_OK, L"Button", L"OK", 148, 172, 50, 14, BS_DEFPUSHBUTTON, kButtonType, WS_TABSTOP, 0, 0},
    {IDC_STATIC, L"Static", nullptr, 105, 155, 138, 8, SS_LEFT, kStaticType, 0, 0, 0},
    {IDC_AGREEMENT, L"RichEdit20A", L"", 7, 7, 331, 128, 0, 0,
     ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, 0, WS_EX_CLIENTEDGE},
    {IDC_STATIC, L"Static", L"#128", 72, 156, 20, 20, SS_ICON, kStaticType, 0, 0, 0},
    {IDC_STATIC, L"Static", L"#128", 252, 156, 20, 20, SS_ICON, kStaticType, 0, 0, 0},
};

constexpr DWORD kEditRequired = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kEditForbidden = ES_NUMBER;
const ExpectedControl kAddEditControls[] = {
    {IDC_DESCRIPTION, L"Edit", L"", 105, 7, 161, 14, 0, 0, kEditRequired, kEditForbidden, 0},
    {IDC_INTERNAL_CLIENT, L"Edit", L"", 105, 23, 161, 14, 0, 0, kEditRequired, kEditForbidden, 0},
    {IDC_EXTERNAL_PORT, L"Edit", L"", 105, 39, 40, 14, 0, 0, kEditRequired, kEditForbidden, 0},
    {IDC_INTERNAL_PORT, L"Edit", L"", 105, 55, 40, 14, 0, 0, kEditRequired, kEditForbidden, 0},
    {IDC_TCP, L"Button", L"TCP", 166, 50, 29, 10, BS_AUTORADIOBUTTON, kButtonType, 0, WS_TABSTOP | WS_GROUP, 0},
    {IDC_UDP, L"Button", L"UDP", 209, 50, 29, 10, BS_AUTORADIOBUTTON, kButtonType, 0, WS_TABSTOP | WS_GROUP, 0},
    {IDOK, L"Button", L"OK", 60, 79, 50, 14, BS_DEFPUSHBUTTON, kButtonType, WS_TABSTOP, 0, 0},
    {IDCANCEL, L"Button", L"Cancel", 165, 79, 50, 14, BS_PUSHBUTTON, kButtonType, WS_TABSTOP, 0, 0},
    {IDC_STATIC, L"Static", L"Server/Service Description:", 7, 10, 93, 8, SS_RIGHT, kStaticType, WS_GROUP, 0, 0},
    {IDC_STATIC, L"Static", L"External (Public) Port:", 20, 43, 80, 11, SS_RIGHT, kStaticType, WS_GROUP, 0, 0},
    {IDC_STATIC, L"Static", L"Internal (Private) Port:", 23, 57, 77, 11, SS_RIGHT, kStaticType, WS_GROUP, 0, 0},
    {IDC_STATIC, L"Static", L"Internal Server Name or IP:", 7, 26, 93, 8, SS_RIGHT, kStaticType, WS_GROUP, 0, 0},
};

struct ExpectedDialog {
    const char* name;
    int id;
    const wchar_t* caption;  // nullptr: only the prefix below is fixed
    const wchar_t* captionPrefix;
    short cx, cy;
    WORD pointSize;
    const wchar_t* font;
    DWORD required;
    DWORD forbidden;
    DWORD exRequired;
    const ExpectedControl* controls;
    size_t count;
};

const ExpectedDialog kDialogs[] = {
    {"about", IDD_ABOUTBOX, L"About Gatekeel", L"", 345, 193, 8, L"Microsoft Sans Serif",
     DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_THICKFRAME, 0, kAboutControls,
     std::size(kAboutControls)},
    {"main", IDD_GATEKEEL_DIALOG, nullptr, L"Gatekeel -- ", 267, 290, 8, L"MS Shell Dlg",
     DS_SHELLFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
     WS_MAXIMIZEBOX, WS_EX_APPWINDOW, kMainControls, std::size(kMainControls)},
    {"add_edit", IDD_ADDEDIT, L"Add Or Edit Server/Service", L"", 274, 100, 8, L"MS Shell Dlg",
     DS_SHELLFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_VISIBLE | WS_THICKFRAME, 0,
     kAddEditControls, std::size(kAddEditControls)},
};

// ---- the fixture: one module, loaded as data ----

class ResourceTest : public testing::TestWithParam<ModuleParam> {
protected:
    void SetUp() override {
        if (GetParam().path.empty()) {
            module_ = GetModuleHandleA(nullptr);
        } else {
            loaded_ = LoadLibraryExA(GetParam().path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
            ASSERT_NE(loaded_, nullptr) << GetParam().path << " error " << GetLastError();
            module_ = loaded_;
        }
    }
    void TearDown() override {
        if (loaded_) FreeLibrary(loaded_);
    }

    // The bytes of a resource, empty when it is missing.
    std::string Bytes(const char* type, const char* name, WORD language = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)) {
        HRSRC found = FindResourceExA(module_, type, name, language);
        if (!found) return {};
        HGLOBAL loaded = LoadResource(module_, found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (!data) return {};
        return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
    }

    // The module's own path (for the version block).
    std::string Path() const {
        if (!GetParam().path.empty()) return GetParam().path;
        std::string path(MAX_PATH, '\0');
        for (;;) {
            const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (n < path.size()) {
                path.resize(n);
                return path;
            }
            path.resize(path.size() * 2);
        }
    }

    HMODULE module_ = nullptr;
    HMODULE loaded_ = nullptr;
};

void CheckControl(const ExpectedControl& want, const TemplateControl& got) {
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(_wcsicmp(got.className.c_str(), want.className), 0) << std::string(got.className.begin(), got.className.end());  // class names ignore case
    if (want.text) {
        EXPECT_EQ(got.text, want.text);
    }
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ(got.style & want.typeMask, want.styleType) << std::hex << got.style;
    EXPECT_EQ(got.style & (want.required | WS_CHILD | WS_VISIBLE), want.required | WS_CHILD | WS_VISIBLE)
        << std::hex << got.style;
    EXPECT_EQ(got.style & want.forbidden, 0u) << std::hex << got.style;
    EXPECT_EQ(got.exStyle & want.exRequired, want.exRequired) << std::hex << got.exStyle;
}

TEST_P(ResourceTest, DialogTemplatesAreLaidOutControlByControl) {
    for (const ExpectedDialog& want : kDialogs) {
        SCOPED_TRACE(want.name);
        const std::string bytes = Bytes(MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(want.id));
        ASSERT_FALSE(bytes.empty());
        DialogTemplate dialog;
        ASSERT_TRUE(TemplateReader(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size()).Read(dialog));
        if (want.caption) {
            EXPECT_EQ(dialog.caption, want.caption);
        } else {
            EXPECT_EQ(dialog.caption.rfind(want.captionPrefix, 0), 0u);
        }
        EXPECT_EQ(dialog.cx, want.cx);
        EXPECT_EQ(dialog.cy, want.cy);
        EXPECT_EQ(dialog.pointSize, want.pointSize);
        EXPECT_EQ(dialog.font, want.font);
        EXPECT_EQ(dialog.style & want.required, want.required) << std::hex << dialog.style;
        EXPECT_EQ(dialog.style & want.forbidden, 0u) << std::hex << dialog.style;
        EXPECT_EQ(dialog.exStyle & want.exRequired, want.exRequired);
        ASSERT_EQ(dialog.controls.size(), want.count);
        for (size_t i = 0; i < want.count; ++i) {
            SCOPED_TRACE("control " + std::to_string(i));
            CheckControl(want.controls[i], dialog.controls[i]);
        }
    }
}

TEST_P(ResourceTest, StringsReadAsTheProgramShowsThem) {
    struct Row {
        UINT id;
        const char* text;
    };
    const Row rows[] = {
        {IDS_ABOUTBOX, "&About Gatekeel..."},
        {IDS_ENTER_POSITIVE_INTEGER, "Enter a positive integer."},
        {IDS_ENTER_INTEGER_BETWEEN, "Enter an integer between %1 and %2."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        char buffer[256] = {};
        ASSERT_GT(LoadStringA(module_, row.id, buffer, sizeof buffer), 0);
        EXPECT_STREQ(buffer, row.text);
    }
}

// The pixel map the icon was generated from: 32 lines of 32 palette digits or '.'.
std::vector<std::string> IconMap() {
    std::ifstream in(WinePath(GK_ICON_MAP));
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        rows.push_back(line);
    }
    return rows;
}

TEST_P(ResourceTest, IconIsOne32By32SixteenColourImageMatchingItsPixelMap) {
    const std::string group = Bytes(RT_GROUP_ICON, MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_GE(group.size(), 6u + 14u);
    const auto* header = reinterpret_cast<const WORD*>(group.data());
    ASSERT_EQ(header[2], 1) << "one image";
    const auto* entry = reinterpret_cast<const BYTE*>(group.data() + 6);
    EXPECT_EQ(entry[0], 32);
    EXPECT_EQ(entry[1], 32);
    EXPECT_EQ(entry[2], 16);
    WORD iconId;
    std::memcpy(&iconId, entry + 12, 2);

    const std::string image = Bytes(RT_ICON, MAKEINTRESOURCEA(iconId));
    ASSERT_EQ(image.size(), 40u + 64u + 512u + 128u);
    BITMAPINFOHEADER info;
    std::memcpy(&info, image.data(), sizeof info);
    EXPECT_EQ(info.biWidth, 32);
    EXPECT_EQ(info.biHeight, 64);
    EXPECT_EQ(info.biBitCount, 4);

    const std::vector<std::string> rows = IconMap();
    ASSERT_EQ(rows.size(), 32u) << GK_ICON_MAP;
    const auto* colour = reinterpret_cast<const BYTE*>(image.data() + 40 + 64);
    const auto* mask = colour + 512;
    for (int y = 0; y < 32; ++y) {
        ASSERT_EQ(rows[y].size(), 32u);
        const int stored = 31 - y;  // bottom-up
        for (int x = 0; x < 32; ++x) {
            const int index = (colour[stored * 16 + x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
            const bool transparent = (mask[stored * 4 + x / 8] >> (7 - x % 8)) & 1;
            const char c = rows[y][x];
            const int wantIndex = c == '.' ? 0 : (c <= '9' ? c - '0' : c - 'a' + 10);
            ASSERT_EQ(transparent, c == '.') << "pixel " << x << "," << y;
            ASSERT_EQ(index, wantIndex) << "pixel " << x << "," << y;
        }
    }
}

TEST_P(ResourceTest, AgreementIsAnRtfDocumentWithoutTerminatingZero) {
    const std::string eula = Bytes("EULA", MAKEINTRESOURCEA(IDR_EULA));
    ASSERT_GT(eula.size(), 6u);
    EXPECT_EQ(eula.compare(0, 6, "{\\rtf1"), 0);
    EXPECT_EQ(eula.find('\0'), std::string::npos);
    EXPECT_EQ(eula.find_last_not_of("\r\n"), eula.rfind('}'));
}

TEST_P(ResourceTest, ManifestAsksForTheInvokersRightsNoCommonControlsSixAndSystemDpiAndDeclaresVistaToEleven) {
    const std::string manifest = Bytes(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
    // System DPI awareness: Windows then draws the text sharp instead of stretching a bitmap.
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"),
              std::string::npos);
    // Undeclared, Windows 8.1 and later (and Wine set to them) report 6.2 to the program.
    for (const char* os : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + os + "}\"/>"), std::string::npos) << os;
    }
}

TEST_P(ResourceTest, VersionBlockNamesGatekeelOneTwo) {
    const std::string path = Path();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << path;
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    struct Row {
        const char* key;
        const char* value;
    };
    // FileVersion comes from the CMake project version, like the manifest's.
    const Row rows[] = {{"ProductName", "Gatekeel"}, {"ProductVersion", "1.2"}, {"FileVersion", GK_FILE_VERSION_TEXT}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        char* value = nullptr;
        UINT length = 0;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + row.key;
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_STREQ(value, row.value);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(2, 1));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(GK_VERSION_MINOR, GK_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, GK_VERSION_PATCH)));
    EXPECT_NE(Bytes(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1)).find("version=\"" GK_FILE_VERSION_TEXT "\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Modules, ResourceTest, testing::ValuesIn(Modules()),
                         [](const testing::TestParamInfo<ModuleParam>& info) { return info.param.name; });

}  // namespace
