// Stands in for AdbWinApi.dll, which adb.exe needs beside it on Windows: the fake adb needs this
// one the same way, so that a test can take it away.
extern "C" __declspec(dllexport) int adbWinApiStandIn()
{
    return 1;
}
