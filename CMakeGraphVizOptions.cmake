# Read by `cmake --graphviz` (scripts/layer-diagram.sh): the product's own
# libraries and programs only.
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "test" "bench" "fuzz" "^make_" "^sample_" "_app$" "^mavdemo$" "^opencv_video$")
