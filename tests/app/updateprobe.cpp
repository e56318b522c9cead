// A stand-in for a newly published build: when started, it leaves the file named by
// QUILLON_PROBE_MARKER behind, so a test can see that the update started it.
#include <cstdio>
#include <cstdlib>

int main()
{
    const char *marker = std::getenv("QUILLON_PROBE_MARKER");
    if (!marker)
        return 1;
    std::FILE *file = std::fopen(marker, "w");
    if (!file)
        return 1;
    std::fputs("started\n", file);
    return std::fclose(file) == 0 ? 0 : 1;
}
