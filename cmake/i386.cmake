# Toolchain for the 32-bit x86 plug-in (Lustrana.so) and its tests: g++ -m32 with SSE
# arithmetic, so both builds round alike, against Debian's i386 libraries.
# No MMX: 8-byte float vectors would otherwise live in MMX registers, which alias the x87
# stack that i386 functions return floats on (log10f would then return NaN).
# -Wno-psabi: the tube stage passes 8-byte vectors between its own inlined private functions;
# the note that their calling convention differs without MMX concerns no interface.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -mno-mmx -Wno-psabi")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -mno-mmx -Wno-psabi")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_LIBRARY_PATH /usr/lib/i386-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")
