# Read by `cmake --graphviz` (scripts/layer-diagram.sh): the product's own
# libraries and programs only; the installed libraries (packaging/) are the
# same objects again and are left out, as is the list of system libraries.
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "test" "bench" "fuzz" "^make_" "^sample_" "_app$" "^mavdemo$" "^opencv_video$"
    "^mavlib_shared$" "^mavlib_static$" "^mavlib_entry_main$" "^plat_system_libraries$")
