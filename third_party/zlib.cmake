# zlib, static, from third_party/zlib.
set(zlib_dir ${CMAKE_CURRENT_SOURCE_DIR}/zlib)
add_library(corvane_vendored_zlib STATIC
  ${zlib_dir}/adler32.c ${zlib_dir}/compress.c ${zlib_dir}/crc32.c
  ${zlib_dir}/deflate.c ${zlib_dir}/gzclose.c ${zlib_dir}/gzlib.c
  ${zlib_dir}/gzread.c ${zlib_dir}/gzwrite.c ${zlib_dir}/infback.c
  ${zlib_dir}/inffast.c ${zlib_dir}/inflate.c ${zlib_dir}/inftrees.c
  ${zlib_dir}/trees.c ${zlib_dir}/uncompr.c ${zlib_dir}/zutil.c
)
target_include_directories(corvane_vendored_zlib SYSTEM PUBLIC ${zlib_dir})
target_compile_definitions(corvane_vendored_zlib PRIVATE HAVE_UNISTD_H HAVE_STDARG_H _LARGEFILE64_SOURCE=1)
target_compile_options(corvane_vendored_zlib PRIVATE -w)
