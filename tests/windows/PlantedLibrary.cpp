// A library with nothing in it, planted beside a test program.
extern "C" __declspec(dllexport) int kwPlanted() {
    return 1;
}
