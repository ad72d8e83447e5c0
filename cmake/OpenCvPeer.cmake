# The C++ OpenCV peer of the scene benchmark (bench/scene_bench.py), built only where
# OpenCV's development files are installed: nothing else needs OpenCV.
find_package(OpenCV QUIET COMPONENTS core imgcodecs imgproc)
if(OpenCV_FOUND)
  add_executable(ormax_opencv_peer bench/opencv_peer.cpp)
  target_include_directories(ormax_opencv_peer SYSTEM PRIVATE ${OpenCV_INCLUDE_DIRS})
  target_link_libraries(ormax_opencv_peer PRIVATE opencv_core opencv_imgcodecs opencv_imgproc)
  set_target_properties(ormax_opencv_peer PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
else()
  message(STATUS "OpenCV not found: the C++ peer of the scene benchmark (ormax_opencv_peer) is not built")
endif()
