# libjpeg-turbo's libjpeg API, static, without SIMD (no assembler needed),
# from third_party/libjpeg-turbo. Only qpdf's DCT filter uses it.
set(jpeg_dir ${CMAKE_CURRENT_SOURCE_DIR}/libjpeg-turbo)
set(jpeg_config_dir ${CMAKE_CURRENT_BINARY_DIR}/libjpeg-turbo)

# Values its configure step would set for an 8-bit, libjpeg-8 API build.
set(VERSION 2.1.5)
set(LIBJPEG_TURBO_VERSION_NUMBER 2001005)
set(JPEG_LIB_VERSION 80)
set(BITS_IN_JSAMPLE 8)
set(C_ARITH_CODING_SUPPORTED 1)
set(D_ARITH_CODING_SUPPORTED 1)
set(MEM_SRCDST_SUPPORTED 1)
set(WITH_SIMD 0)
set(RIGHT_SHIFT_IS_UNSIGNED 0)
set(BUILD "vendored")
set(INLINE "__inline__ __attribute__((always_inline))")
set(THREAD_LOCAL "__thread")
set(corvane_project_name ${CMAKE_PROJECT_NAME})
set(CMAKE_PROJECT_NAME libjpeg-turbo)
set(SIZE_T ${CMAKE_SIZEOF_VOID_P})
set(HAVE_BUILTIN_CTZL 1)
set(HAVE_INTRIN_H 0)
set(COPYRIGHT_YEAR "1991-2023")
configure_file(${jpeg_dir}/jconfig.h.in ${jpeg_config_dir}/jconfig.h)
configure_file(${jpeg_dir}/jconfigint.h.in ${jpeg_config_dir}/jconfigint.h)
configure_file(${jpeg_dir}/jversion.h.in ${jpeg_config_dir}/jversion.h)
set(CMAKE_PROJECT_NAME ${corvane_project_name})

set(jpeg_sources
  jcapimin.c jcapistd.c jccoefct.c jccolor.c jcdctmgr.c jchuff.c jcicc.c
  jcinit.c jcmainct.c jcmarker.c jcmaster.c jcomapi.c jcparam.c jcphuff.c
  jcprepct.c jcsample.c jctrans.c jdapimin.c jdapistd.c jdatadst.c jdatasrc.c
  jdcoefct.c jdcolor.c jddctmgr.c jdhuff.c jdicc.c jdinput.c jdmainct.c
  jdmarker.c jdmaster.c jdmerge.c jdphuff.c jdpostct.c jdsample.c jdtrans.c
  jerror.c jfdctflt.c jfdctfst.c jfdctint.c jidctflt.c jidctfst.c jidctint.c
  jidctred.c jquant1.c jquant2.c jutils.c jmemmgr.c jmemnobs.c
  jaricom.c jcarith.c jdarith.c jsimd_none.c
)
list(TRANSFORM jpeg_sources PREPEND ${jpeg_dir}/)
add_library(corvane_vendored_jpeg STATIC ${jpeg_sources})
target_include_directories(corvane_vendored_jpeg SYSTEM PUBLIC ${jpeg_config_dir} ${jpeg_dir})
target_compile_options(corvane_vendored_jpeg PRIVATE -w)
