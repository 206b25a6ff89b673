# adrelio_add_library(NAME SOURCES file... LINKS target...)
#
# One static library per folder of the program. The sources include headers as
# "folder/file.h". A library's users see only the folders of the libraries they link:
# each library publishes a directory of its own that holds a single link, named after the
# folder, to the folder. So a file that includes a header of a folder its library does not
# link fails to build, and the layers stay as the links below say.
function(adrelio_add_library name)
    cmake_parse_arguments(L "" "" "SOURCES;LINKS" ${ARGN})
    get_filename_component(folder "${CMAKE_CURRENT_SOURCE_DIR}" NAME)
    set(root "${CMAKE_BINARY_DIR}/layers/${folder}")
    file(MAKE_DIRECTORY "${root}")
    file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}" "${root}/${folder}" SYMBOLIC)

    add_library(${name} STATIC ${L_SOURCES})
    target_include_directories(${name} PUBLIC "${root}")
    target_link_libraries(${name} PUBLIC ${L_LINKS})
    adrelio_product_options(${name})
endfunction()

# The warnings and the text rules of every target that goes into the program.
function(adrelio_product_options target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(ADRELIO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII)
endfunction()
