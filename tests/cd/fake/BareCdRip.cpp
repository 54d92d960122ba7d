// A library that provides none of the CD ripping entry points: every call the CD source makes
// must find its entry empty and carry on.
extern "C" int BareCdRip_Present(void) {
    return 1;
}
