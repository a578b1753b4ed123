package launchertest;

/** Version 1 of an application whose jar is replaced in place: says which version runs; with
 * "xml", loads many more classes; with "crash", dies of a fatal error of the VM's. */
public final class Hello {
    public static void main(String[] args) throws Exception {
        System.out.println("hello v1");
        for (String arg : args) {
            if (arg.startsWith("sleep=")) {
                Thread.sleep(Long.parseLong(arg.substring("sleep=".length())));
            }
            if (arg.equals("xml")) {
                // Loads the runtime's XML parser: classes a start without it never loads.
                javax.xml.parsers.DocumentBuilderFactory.newInstance().newDocumentBuilder();
            }
            if (arg.equals("crash")) {
                // A write to address 0, as a damaged archive's would be: the VM's fatal error.
                Class<?> unsafe = Class.forName("sun.misc.Unsafe");
                java.lang.reflect.Field field = unsafe.getDeclaredField("theUnsafe");
                field.setAccessible(true);
                unsafe.getMethod("putAddress", long.class, long.class).invoke(field.get(null), 0L, 0L);
            }
        }
    }
}
