// Which leftovers the dialog ticks when it opens, for the texts the scanner produces: what lies in the install
// folder, shortcuts, startup values and the program's own Uninstall key are ticked; whatever was found by name or
// lies outside the folder is not, however close its text comes.
#include <gtest/gtest.h>

#include "LeftoverTicks.h"

namespace {

struct TickCase {
    UINT nKind;
    UINT nLevel;
    const wchar_t* pszPath;
    bool bTicked;
};

CPowerSweepItem Item(const TickCase& c) {
    CPowerSweepItem item;
    item.Kind = c.nKind;
    item.Level = c.nLevel;
    item.Path = c.pszPath;
    return item;
}

CSoftItem Program(const wchar_t* pszFolder, const wchar_t* pszKey) {
    CSoftItem program;
    program.Folder = pszFolder;
    program.Key = pszKey;
    return program;
}

const wchar_t kKey[] = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KxSampleDiary";
const UINT F = CPowerSweepItem::KIND_FOLDER, D = CPowerSweepItem::KIND_FILE, R = CPowerSweepItem::KIND_REGISTRY,
           L = CPowerSweepItem::KIND_SHORTCUT, E = CPowerSweepItem::LEVEL_MEMBER;

TEST(LeftoverTicks, FromTheInstallFolderAndTheOwnKey) {
    const CSoftItem program = Program(L"C:\\Program Files\\Vendor\\KxSampleDiary\\", kKey);
    const TickCase cases[] = {
        {D, E, L"C:\\Program Files\\Vendor\\KxSampleDiary\\diary.dat", true},
        {D, E, L"C:\\Program Files\\Vendor\\KxSampleDiary\\Entries\\first.txt", true},
        {F, E, L"c:\\program files\\vendor\\kxsamplediary\\", true},
        {F, E, L"C:\\Program Files\\Vendor\\KxSampleDiary\\Entries", true},
        // Beside the folder, above it, or elsewhere (an Installer component, the Installer's own cache).
        {D, E, L"C:\\Program Files\\Vendor\\KxSampleDiary2\\diary.dat", false},
        {F, E, L"C:\\Program Files\\Vendor\\KxSampleDiaryData", false},
        {F, E, L"c:\\program files\\vendor\\", false},
        {D, E, L"C:\\windows\\system32\\kxshared.dll", false},
        {F, E, L"C:\\windows\\Installer\\kxsamplediary", false},
        {L, E, L"c:\\users\\public\\desktop\\kxsample diary 3.0.lnk", true},
        {L, E, L"c:\\users\\public\\desktop\\kxsample diary 3.0.url", false},
        {R, E, L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\\\kxsamplediary", true},
        {R, E, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\\\diary tray", true},
        {R, E, L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\\\kxsamplediary", false},
        {R, E, L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Sub\\\\kxsamplediary", false},
        {R, E,
         L"HKEY_USERS\\S-1-5-21-1-2-3-1000\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache\\\\c:\\program "
         L"files\\vendor\\kxsamplediary\\kxdiary.exe",
         false},
        {R, E, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kxsamplediary", true},
        {R, E, L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kxsamplediary", false},
        {R, E, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kxsamplediaryplus", false},
        {R, E,
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\kxsamplediary",
         false},
        {R, E, L"HKEY_CLASSES_ROOT\\Folder\\Shell\\diary", false},
        // Heads are never ticked by themselves: their ticks follow their entries.
        {D, CPowerSweepItem::LEVEL_GROUP, L"文件", false},
        {CPowerSweepItem::KIND_ROOT, CPowerSweepItem::LEVEL_ROOT, L"全部", false},
    };
    for (const TickCase& c : cases) EXPECT_EQ(c.bTicked, TickedByDefault(Item(c), program)) << c.pszPath;
}

// Without a folder that stands for the program alone, nothing is ticked for being in it.
TEST(LeftoverTicks, NoFolderToGoBy) {
    struct FolderCase {
        const wchar_t* pszFolder;
        TickCase c;
    };
    const FolderCase cases[] = {
        {L"", {D, E, L"C:\\Program Files\\KxSampleDiary\\diary.dat", false}},
        {L"", {L, E, L"c:\\users\\public\\desktop\\kxsample diary 3.0.lnk", false}},
        {L"", {R, E, L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\\\kxsamplediary", false}},
        {L"", {R, E, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kxsamplediary", true}},
        {L"C:\\", {D, E, L"C:\\diary.dat", false}},
        {L"C:", {D, E, L"C:\\diary.dat", false}},
        {L"Diary", {D, E, L"Diary\\diary.dat", false}},
        // Letters beyond ASCII compare as the scanner lowers them.
        {L"C:\\Programme\\ÄPP", {D, E, L"c:\\programme\\äpp\\Daten.txt", true}},
    };
    for (const FolderCase& f : cases)
        EXPECT_EQ(f.c.bTicked, TickedByDefault(Item(f.c), Program(f.pszFolder, kKey))) << f.pszFolder << " " << f.c.pszPath;
}

}  // namespace
