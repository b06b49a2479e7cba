// Prints what Windows shows in a program file's Properties: the version resource's company, product,
// version and description, UTF-8, one "Name=value" a line; then "Manifest:" and the application
// manifest that Windows reads when it starts the program. Exit 1 when the file has no resource.
//   versioninfo PROGRAM.exe
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string utf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2)
        return 2;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, data.data()))
        return 1;
    for (const wchar_t *name : {L"CompanyName", L"ProductName", L"ProductVersion", L"FileDescription"}) {
        wchar_t *value = nullptr;
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
        if (VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void **>(&value), &length) && value)
            std::printf("%s=%s\n", utf8(name).c_str(), utf8(value).c_str());
    }
    HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC manifest = module ? FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr;
    HGLOBAL loaded = manifest ? LoadResource(module, manifest) : nullptr;
    if (loaded) {
        std::printf("Manifest:\n");
        std::fwrite(LockResource(loaded), 1, SizeofResource(module, manifest), stdout);
        std::printf("\n");
    }
    return 0;
}
