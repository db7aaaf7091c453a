#pragma once
// A small reader of DIALOGEX templates, for checking the compiled dialogs control by control.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace gktest {

struct TemplateControl {
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::wstring className;  // ordinal classes as their names
    std::wstring text;
};

struct DialogTemplate {
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring font;
    std::vector<TemplateControl> controls;
};

class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    bool Read(DialogTemplate& dialog) {
        if (Word() != 1 || Word() != 0xFFFF) return false;  // DLGTEMPLATEEX only
        Dword();                                             // help id
        dialog.exStyle = Dword();
        dialog.style = Dword();
        const WORD count = Word();
        ReadRect(dialog.x, dialog.y, dialog.cx, dialog.cy);
        SkipSzOrOrd();  // menu
        SkipSzOrOrd();  // class
        dialog.caption = String();
        if (dialog.style & DS_SETFONT) {
            dialog.pointSize = Word();
            Word();  // weight
            Byte();  // italic
            Byte();  // charset
            dialog.font = String();
        }
        for (WORD i = 0; i < count && ok_; ++i) {
            Align();
            TemplateControl control;
            Dword();  // help id
            control.exStyle = Dword();
            control.style = Dword();
            ReadRect(control.x, control.y, control.cx, control.cy);
            control.id = static_cast<int>(Dword());
            control.className = ClassName();
            control.text = SzOrOrdText();
            pos_ += Word();  // creation data
            dialog.controls.push_back(control);
        }
        return ok_;
    }

private:
    bool Has(size_t n) {
        if (pos_ + n > size_) ok_ = false;
        return ok_;
    }
    BYTE Byte() { return Has(1) ? data_[pos_++] : 0; }
    WORD Word() {
        if (!Has(2)) return 0;
        WORD value;
        std::memcpy(&value, data_ + pos_, 2);
        pos_ += 2;
        return value;
    }
    DWORD Dword() {
        const WORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    void ReadRect(short& x, short& y, short& cx, short& cy) {
        x = static_cast<short>(Word());
        y = static_cast<short>(Word());
        cx = static_cast<short>(Word());
        cy = static_cast<short>(Word());
    }
    void Align() { pos_ = (pos_ + 3) & ~static_cast<size_t>(3); }
    std::wstring String() {
        std::wstring text;
        while (ok_) {
            const WORD c = Word();
            if (c == 0) break;
            text.push_back(static_cast<wchar_t>(c));
        }
        return text;
    }
    void SkipSzOrOrd() { SzOrOrdText(); }
    // A string, or an ordinal rendered as "#n".
    std::wstring SzOrOrdText() {
        if (!Has(2)) return {};
        WORD first;
        std::memcpy(&first, data_ + pos_, 2);
        if (first == 0xFFFF) {
            Word();
            return L"#" + std::to_wstring(Word());
        }
        return String();
    }
    std::wstring ClassName() {
        const std::wstring name = SzOrOrdText();
        static const wchar_t* const predefined[] = {L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar",
                                                    L"ComboBox"};
        for (int i = 0; i < 6; ++i) {
            if (name == L"#" + std::to_wstring(0x80 + i)) return predefined[i];
        }
        return name;
    }

    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace gktest
