# kvr_publish_folder(target folder)
# Lets a target and its users include the headers of one source folder as
# "<folder>/X.h", and nothing else of the tree: a folder of the build tree
# holds one link to it. A target sees only what it links, so the build itself
# keeps a screen module from including server headers.
function(kvr_publish_folder target folder)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT EXISTS ${root}/${folder})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
    target_include_directories(${target} PUBLIC ${root})
endfunction()
