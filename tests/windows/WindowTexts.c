/* A peer for the window's tests under Wine: prints what a Windows program's
 * window shows, as another Windows program sees it. For the top-level window
 * whose title starts with TITLE, one line per child control:
 *     ID<TAB>CLASS<TAB>CHECKED<TAB>VISIBLE<TAB>TEXT
 * (CHECKED 1 for a checked box or option, VISIBLE 0 for a hidden control;
 * TEXT is a drop-down list's chosen item, a progress bar's position), in
 * UTF-8. With --click ID it
 * clicks that control instead, as a user would (the click is posted: a
 * handler that opens a dialog does not hold up this program); with --close
 * it asks the window to close, as its close box does. Exit status 1 when no
 * such window is there.
 *   window-texts.exe TITLE [--click ID | --close]
 */
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

static const wchar_t* Wanted;
static HWND Found;

static BOOL CALLBACK FindTop(HWND window, LPARAM unused)
{
    wchar_t title[512];
    (void)unused;
    GetWindowTextW(window, title, 512);
    if (wcsncmp(title, Wanted, wcslen(Wanted)) == 0) {
        Found = window;
        return FALSE;
    }
    return TRUE;
}

static void Print(const wchar_t* text)
{
    char utf8[4096];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, (int)sizeof utf8, NULL, NULL);
    fputs(utf8, stdout);
}

static BOOL CALLBACK PrintChild(HWND child, LPARAM unused)
{
    wchar_t type[64];
    wchar_t text[1024] = L"";
    int checked = 0;
    (void)unused;
    GetClassNameW(child, type, 64);
    if (_wcsicmp(type, L"ComboBox") == 0) {
        LRESULT index = SendMessageW(child, CB_GETCURSEL, 0, 0);
        if (index != CB_ERR && SendMessageW(child, CB_GETLBTEXTLEN, (WPARAM)index, 0) < 1024)
            SendMessageW(child, CB_GETLBTEXT, (WPARAM)index, (LPARAM)text);
    } else if (_wcsicmp(type, L"msctls_progress32") == 0) {
        swprintf(text, 1024, L"%d", (int)SendMessageW(child, PBM_GETPOS, 0, 0));
    } else {
        SendMessageW(child, WM_GETTEXT, 1024, (LPARAM)text);
        if (_wcsicmp(type, L"Button") == 0)
            checked = SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    printf("%d\t", GetDlgCtrlID(child));
    Print(type);
    printf("\t%d\t%d\t", checked, IsWindowVisible(child) ? 1 : 0);
    Print(text);
    putchar('\n');
    return TRUE;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || argc > 4) {
        fputs("usage: window-texts.exe TITLE [--click ID | --close]\n", stderr);
        return 2;
    }
    Wanted = argv[1];
    EnumWindows(FindTop, 0);
    if (Found == NULL)
        return 1;
    if (argc == 4 && wcscmp(argv[2], L"--click") == 0)
        return PostMessageW(GetDlgItem(Found, _wtoi(argv[3])), BM_CLICK, 0, 0) ? 0 : 1;
    if (argc == 3 && wcscmp(argv[2], L"--close") == 0)
        return PostMessageW(Found, WM_CLOSE, 0, 0) ? 0 : 1;
    EnumChildWindows(Found, PrintChild, 0);
    return 0;
}
