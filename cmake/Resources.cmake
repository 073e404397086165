# Every shipped executable carries a manifest and version information.
# Only configured copies reach the resource compiler: the templates end in
# ".in" and the resource script names the manifest by its full build path.
function(loftwick_resources target product description)
    set(RES_NAME ${target})
    set(RES_PRODUCT ${product})
    set(RES_DESCRIPTION ${description})
    string(REPLACE "-" "." RES_ASSEMBLY "Loftwick.${target}")
    set(LOFTWICK_VERSION_QUAD
        ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
    set(dir ${CMAKE_BINARY_DIR}/generated/${target})
    set(RES_MANIFEST ${dir}/${target}.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/windows/native/common/Loftwick.manifest.in
                   ${RES_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/windows/native/common/Resources.rc.in
                   ${dir}/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${dir}/${target}.rc)
    # The resource compiler does not see the manifest as a dependency.
    set_source_files_properties(${dir}/${target}.rc PROPERTIES OBJECT_DEPENDS ${RES_MANIFEST})
endfunction()
