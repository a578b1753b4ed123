// The application of the time-to-splash figure: it keeps the splash up a moment, as a real
// application's start-up would, and ends.
public class Pause {
    public static void main(String[] args) throws InterruptedException {
        Thread.sleep(300);
    }
}
