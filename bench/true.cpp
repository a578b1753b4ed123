// The reference process: started, linked and ended like the launcher, doing nothing at all.
// The launcher's own work is reported as a multiple of this program's start.
int main() { return 0; }
