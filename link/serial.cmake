# The serial port link (TComm) and port discovery; included from link/CMakeLists.txt.
target_sources(varnel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/tcomm.h
  ${CMAKE_CURRENT_LIST_DIR}/tcomm.cpp
)
