/* A library that another one imports (the load-path test of sys/SystemLibrary). */
__declspec(dllexport) int PlantedDependency(void) { return 7; }
