/* The floor for a tree walk under Wine: list every directory, open every file
 * for reading, read its status and close it again. Usage: plain_walk_win32 DIR */
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

static long files;

static void walk(const wchar_t* directory) {
    wchar_t pattern[MAX_PATH * 4];
    swprintf(pattern, sizeof pattern / sizeof *pattern, L"%ls\\*", directory);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
        wchar_t path[MAX_PATH * 4];
        swprintf(path, sizeof path / sizeof *path, L"%ls\\%ls", directory, found.cFileName);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            walk(path);
            continue;
        }
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        BY_HANDLE_FILE_INFORMATION information;
        if (file != INVALID_HANDLE_VALUE) {
            GetFileInformationByHandle(file, &information);
            CloseHandle(file);
        }
        ++files;
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    walk(argv[1]);
    QueryPerformanceCounter(&end);
    printf("%ld %.3f\n", files, (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart);
    return 0;
}
