# The export contract of the real module, read from the file on the host:
# the seven names with their ordinals, the imports, a 32-bit PE DLL.
exports_check_tables "$BUILD/Gantrel.dll"
