# libqpdf, static, with qpdf's native crypto provider, from third_party/qpdf.
set(qpdf_dir ${CMAKE_CURRENT_SOURCE_DIR}/qpdf)
set(qpdf_config_dir ${CMAKE_CURRENT_BINARY_DIR}/qpdf-config)

include(CheckCSourceCompiles)
include(CheckSymbolExists)
include(CheckIncludeFile)

# The configuration header qpdf's own build would generate.
set(USE_CRYPTO_NATIVE 1)
set(DEFAULT_CRYPTO "native")
set(SIZEOF_SIZE_T ${CMAKE_SIZEOF_VOID_P})
set(HAVE_STDINT_H 1)
check_include_file("inttypes.h" HAVE_INTTYPES_H)
check_symbol_exists(fseeko "stdio.h" HAVE_FSEEKO)
check_symbol_exists(fseeko64 "stdio.h" HAVE_FSEEKO64)
check_symbol_exists(localtime_r "time.h" HAVE_LOCALTIME_R)
check_symbol_exists(random "stdlib.h" HAVE_RANDOM)
check_symbol_exists(open_memstream "stdio.h" HAVE_OPEN_MEMSTREAM)
check_symbol_exists(malloc_info "malloc.h" HAVE_MALLOC_INFO)
check_c_source_compiles("
#include <time.h>
int main(void) { tzset(); return (int)timezone; }" HAVE_EXTERN_LONG_TIMEZONE)
check_c_source_compiles("
#include <time.h>
int main(void) { struct tm tm; tm.tm_gmtoff = 1; return (int)tm.tm_gmtoff; }" HAVE_TM_GMTOFF)
# Every Linux has it; a cross build cannot look at the target's /dev.
set(RANDOM_DEVICE "/dev/urandom")
set(_FILE_OFFSET_BITS 64)
configure_file(${qpdf_dir}/libqpdf/qpdf/qpdf-config.h.in
               ${qpdf_config_dir}/qpdf/qpdf-config.h NEWLINE_STYLE UNIX)

file(GLOB qpdf_sources CONFIGURE_DEPENDS ${qpdf_dir}/libqpdf/*.cc ${qpdf_dir}/libqpdf/*.c)
add_library(corvane_vendored_qpdf STATIC ${qpdf_sources})
target_include_directories(corvane_vendored_qpdf BEFORE PRIVATE ${qpdf_config_dir} ${qpdf_dir}/libqpdf)
target_include_directories(corvane_vendored_qpdf SYSTEM PUBLIC ${qpdf_dir}/include)
target_compile_definitions(corvane_vendored_qpdf PRIVATE
  QPDF_DISABLE_QTC=1 $<$<COMPILE_LANGUAGE:CXX>:POINTERHOLDER_TRANSITION=4>)
target_compile_options(corvane_vendored_qpdf PRIVATE -w)
target_link_libraries(corvane_vendored_qpdf PUBLIC corvane_vendored_zlib corvane_vendored_jpeg)
