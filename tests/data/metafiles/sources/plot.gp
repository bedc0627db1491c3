set terminal emf color solid enhanced size 640,480 font "Arial,12"
set output ARG1
set title "sin and cos"
set key top left box
set grid
set xrange [-5:5]
plot sin(x) with lines lw 2, cos(x) with linespoints pt 7 ps 1, 0.5*x with impulses
