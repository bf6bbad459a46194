#include "support/ShellLinkReader.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "support/TestSupport.h"

LinkContents ReadShellLink(const WCHAR* linkPath)
{
    LinkContents contents;
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Load(linkPath, STGM_READ))) {
                WCHAR path[MAX_PATH] = {};
                WCHAR arguments[MAX_PATH] = {};
                WCHAR folder[MAX_PATH] = {};
                contents.loaded = SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
                                  SUCCEEDED(link->GetArguments(arguments, MAX_PATH)) &&
                                  SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH));
                contents.workingFolder = Utf8(folder);
                contents.path = Utf8(path);
                contents.arguments = Utf8(arguments);
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return contents;
}
