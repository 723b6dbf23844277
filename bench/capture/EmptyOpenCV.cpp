// Does nothing, but is linked (without --as-needed) to the same OpenCV libraries as peltrak: what
// loading them costs before main, the floor under any OpenCV-based capture.
int main()
{
    return 0;
}
