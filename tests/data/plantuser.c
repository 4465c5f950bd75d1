/* Imports "plantdep.dll" at load time (the load-path test of sys/SystemLibrary). */
__declspec(dllimport) int PlantedDependency(void);
__declspec(dllexport) int UsesPlantedDependency(void) { return PlantedDependency(); }
