# Windows: the communications and file functions are in kernel32, which every
# program links; the settings file and message functions need nothing more.
target_link_libraries(zul_support PUBLIC kernel32)
