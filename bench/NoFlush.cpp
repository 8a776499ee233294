// Preloaded into a process, this turns every flush to disk into a no-op. The
// batch benchmark runs Pelamo once more with it, to show how much of Pelamo's
// time goes to making each replaced file durable — the step the in-place tools
// it is compared with skip — and how it compares once that step is gone.
extern "C" int fsync(int)
{
    return 0;
}

extern "C" int fdatasync(int)
{
    return 0;
}
