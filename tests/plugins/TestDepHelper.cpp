// A library that one test plug-in imports; it lies only in the plug-in's own folder, so the
// plug-in loads only when the host makes that folder the current directory.
extern "C" __declspec(dllexport) int TestDepHelperValue()
{
    return 4711;
}
