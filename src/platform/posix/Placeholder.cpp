int nj_posix_placeholder = 0;
