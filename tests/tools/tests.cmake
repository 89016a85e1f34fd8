# The image operations of `rastrix convert`: the option table and runs of
# the command on small pictures.
target_sources(rastrix_tests PRIVATE
  tools/test_rastrix_op_table.cpp
  tools/test_rastrix_ops.cpp
  tools/test_rastrix_conv_ops.cpp
  tools/test_rastrix_op_effects.cpp)
